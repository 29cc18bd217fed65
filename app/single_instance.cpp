#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

namespace kormoszi {
namespace {

const QByteArray kRaise = QByteArrayLiteral("raise\n");

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    // The runtime directory belongs to the user alone (Qt makes one with mode 0700 under
    // /tmp where the session has none), so the lock and the socket are per user.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty() || !QDir(dir).exists())
        return;
    const QString base = dir + QLatin1Char('/') + name;
    if (TakeLock(base + QStringLiteral(".lock"))) {
        Listen(base + QStringLiteral(".socket"));
    } else if (FLockFd >= 0) {
        FFirst = false;
        AskFirstToRaise(base + QStringLiteral(".socket"));
    }
}

SingleInstance::~SingleInstance() {
    FServer.close();
    if (FLockFd >= 0)
        ::close(FLockFd);
}

// The lock is an flock() on an open file: the system releases it when the process ends,
// also by a crash, so nothing left behind can stop the next start. Returns false with
// FLockFd open when another process holds it.
bool SingleInstance::TakeLock(const QString& lockFile) {
    FLockFd = ::open(QFile::encodeName(lockFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FLockFd < 0)
        return false;
    if (::flock(FLockFd, LOCK_EX | LOCK_NB) == 0)
        return true;
    if (errno == EWOULDBLOCK)
        return false;
    ::close(FLockFd);  // a file system without locks: no guard
    FLockFd = -1;
    return false;
}

void SingleInstance::Listen(const QString& socketName) {
    // Only the holder of the lock gets here, so a socket of that name is a crashed copy's.
    QLocalServer::removeServer(socketName);
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
    FServer.listen(socketName);
}

// The first copy may hold the lock a moment before it listens; a few tries cover that.
// When it never answers, this copy still ends: the first one is there and shows itself.
void SingleInstance::AskFirstToRaise(const QString& socketName) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketName);
        if (socket.waitForConnected(100)) {
            socket.write(kRaise);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(100);
    }
}

void RaiseWindow(QWidget* window) {
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace kormoszi
