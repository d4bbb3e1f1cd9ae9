#include "gui/app/single_instance.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace quillrun {
namespace {

const char kRestoreMessage[] = "4099 0 513\n";

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

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
        // A socket left behind by an instance that was killed.
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
