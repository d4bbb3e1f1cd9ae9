#include "gui/app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace quillrun {
namespace {

const char kRestoreMessage[] = "4099 0 513\n";

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

QString SingleInstance::LockPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder + QStringLiteral("/quillrun-") +
           QString::number(static_cast<qulonglong>(::getuid())) + QStringLiteral(".lock");
}

bool SingleInstance::TakeLock() {
    QByteArray path = QFile::encodeName(LockPath());
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;  // no place for a lock: run, as the socket alone would allow
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    lockFd_ = fd;  // held until the program ends; the kernel lets go of it even at a kill
    return true;
}

QString SingleInstance::ServerName() {
    return QStringLiteral("quillrun-") + QString::number(static_cast<qulonglong>(::getuid()));
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
