#include "app/single_instance.h"

#include <QLocalSocket>
#include <QWidget>

namespace kormoszi {
namespace {

const QByteArray kRaise = QByteArrayLiteral("raise\n");

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    FServer.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&FServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = FServer.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kRaise))
                    emit RaiseRequested();
            });
        }
    });
    TakeGuard(name);
}

SingleInstance::~SingleInstance() {
    FServer.close();
    ReleaseGuard();
}

bool SingleInstance::Serve(const QString& serverName) {
    // Only the holder of the guard gets here, so a server of that name is a crashed copy's.
    QLocalServer::removeServer(serverName);
    return FServer.listen(serverName);
}

bool SingleInstance::AskToRaise(const QString& serverName) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(100))
        return false;
    socket.write(kRaise);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

void RaiseWindow(QWidget* window) {
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace kormoszi
