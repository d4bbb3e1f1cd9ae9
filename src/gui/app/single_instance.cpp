#include "gui/app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstring>

namespace quillrun {
namespace {

const char kRestoreMessage[] = "4099 0 513\n";
QString g_instanceFolder;

// A folder only this user can enter and change: owned by the user, no access for others, and
// not a symbolic link that someone else could point elsewhere.
bool FolderIsTheUsersOwn(const QString& folder, QString* problem) {
    struct stat st;
    QByteArray path = QFile::encodeName(folder);
    if (::lstat(path.constData(), &st) != 0) {
        if (problem)
            *problem = folder + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        if (problem)
            *problem = folder + QStringLiteral(": not a folder of this user's own (0700)");
        return false;
    }
    return true;
}

// One lock file held with flock for the program's life (the kernel lets go of it at a kill).
SingleInstance::Lock TakeFileLock(const QString& path, int& fd, QString* problem) {
    int opened = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (opened < 0) {
        if (problem)
            *problem = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return SingleInstance::Lock::Impossible;
    }
    if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
        bool held = errno == EWOULDBLOCK;
        if (problem && !held)
            *problem = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(opened);
        return held ? SingleInstance::Lock::Held : SingleInstance::Lock::Impossible;
    }
    fd = opened;
    return SingleInstance::Lock::Taken;
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    for (int fd : {lockFd_, folderLockFd_}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SingleInstance::SetInstanceFolder(const QString& folder) {
    g_instanceFolder = folder;
}

QString SingleInstance::InstanceFolder(QString* problem) {
    QString uid = QString::number(static_cast<qulonglong>(::getuid()));
    QString folder = g_instanceFolder;
    if (folder.isEmpty()) {
        // The user's runtime folder as logind makes it; no variable of the environment moves it.
        QString run = QStringLiteral("/run/user/") + uid;
        if (FolderIsTheUsersOwn(run, nullptr))
            return run;
        folder = QStringLiteral("/tmp/quillrun-") + uid;
    }
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    if (!FolderIsTheUsersOwn(folder, problem))
        return QString();
    return folder;
}

QString SingleInstance::LockPath() {
    QString folder = InstanceFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/quillrun.lock");
}

SingleInstance::Lock SingleInstance::TakeLock(QString* problem) {
    QString folder = InstanceFolder(problem);
    if (folder.isEmpty())
        return Lock::Impossible;
    return TakeFileLock(folder + QStringLiteral("/quillrun.lock"), lockFd_, problem);
}

void SingleInstance::SayWhoHolds(const QString& mode, const QString& programFolder) {
    if (lockFd_ < 0)
        return;
    QByteArray line = "quillrun " + mode.toUtf8() + " pid=" + QByteArray::number(::getpid()) +
                      " folder=" + programFolder.toUtf8() + "\n";
    if (::ftruncate(lockFd_, 0) == 0)
        (void)!::pwrite(lockFd_, line.constData(), static_cast<size_t>(line.size()), 0);
}

SingleInstance::Holder SingleInstance::LockHolder() {
    Holder holder;
    QFile file(LockPath());
    if (LockPath().isEmpty() || !file.open(QIODevice::ReadOnly))
        return holder;
    QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
    if (!line.startsWith(QStringLiteral("quillrun ")))
        return holder;
    int pid = line.indexOf(QStringLiteral(" pid="));
    int folder = line.indexOf(QStringLiteral(" folder="));
    if (pid < 0 || folder < pid)
        return holder;
    holder.mode = line.mid(9, pid - 9);
    holder.pid = line.mid(pid + 5, folder - pid - 5).toLongLong();
    holder.folder = line.mid(folder + 8);
    return holder;
}

SingleInstance::Lock SingleInstance::TakeFolderLock(const QString& programFolder,
                                                    QString* problem) {
    QString folder =
        programFolder.endsWith(QLatin1Char('/')) ? programFolder : programFolder + QLatin1Char('/');
    return TakeFileLock(folder + QStringLiteral("quillrun.lock"), folderLockFd_, problem);
}

QString SingleInstance::ServerName() {
    return InstanceFolder() + QStringLiteral("/quillrun.socket");
}

bool SingleInstance::OtherInstanceRuns() {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    bool runs = socket.waitForConnected(1000);
    socket.abort();
    return runs;
}

bool SingleInstance::RestoreOtherInstance() {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(kRestoreMessage);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(ServerName())) {
        // A socket left behind by an instance that was killed (the lock says none runs).
        QLocalServer::removeServer(ServerName());
        if (!server_->listen(ServerName()))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("4099 0 513"))
                    emit RestoreRequested();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

}  // namespace quillrun
