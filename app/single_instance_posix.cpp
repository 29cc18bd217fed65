#include "app/single_instance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstdlib>

namespace kormoszi {
namespace {

// Whether fd is a directory or file of this user's own that nobody else may change.
bool Private(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_uid == ::getuid() && (st.st_mode & 022) == 0;
}

// An open descriptor of dir when it is private to the user, else -1.
int OpenPrivateDirectory(const QByteArray& dir) {
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && !Private(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

const QByteArray kStateDirectory = QByteArrayLiteral("/.local/state/kormoszi");

// Makes the state directory below a home and the levels between that are missing, each
// with mode 0700. A home that is missing is not made.
void MakeStateDirectory(const QByteArray& dir) {
    if (!dir.endsWith(kStateDirectory))
        return;
    const qsizetype home = dir.size() - kStateDirectory.size();
    for (qsizetype slash = dir.indexOf('/', home + 1);; slash = dir.indexOf('/', slash + 1)) {
        ::mkdir(dir.left(slash < 0 ? dir.size() : slash).constData(), 0700);
        if (slash < 0)
            return;
    }
}

// The login's runtime directory, named by the user's number and made by the system.
QByteArray SystemRuntimeDirectory() {
    return "/run/user/" + QByteArray::number(::getuid());
}

// Where the lock may lie, best first. Every start of the user must find the same lock, so
// the first place comes from the user database, never from the environment: HOME and
// XDG_STATE_HOME differ between a desktop session, a terminal, sudo and su, and each
// difference would be a second lock and so a second copy. The state directory is made
// when missing; where it is not the user's alone, the login's runtime directory stands
// in, so that no file of another user can switch the guard off. Only a user the database
// does not know falls back on HOME.
QList<QByteArray> LockDirectories() {
    QList<QByteArray> dirs;
    const struct passwd* user = ::getpwuid(::getuid());
    if (user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/')
        dirs << QByteArray(user->pw_dir) + kStateDirectory;
    dirs << SystemRuntimeDirectory();
    const char* home = std::getenv("HOME");
    if (user == nullptr && home != nullptr && home[0] == '/')
        dirs << QByteArray(home) + kStateDirectory;
    return dirs;
}

// The file's whole content, read from its start.
QByteArray ReadAll(int fd) {
    QByteArray content;
    char buffer[512];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got <= 0)
            return content;
        content.append(buffer, got);
        at += got;
    }
}

enum class Lock { Taken, HeldByAnother, NoPlace };

// The lock is an flock() on an open file: the system releases it when the process ends,
// also by a crash, so nothing left behind can stop the next start. The file is never
// removed: a copy that locked it a moment before the removal would hold a lock nobody
// else sees.
Lock TakeLock(const QByteArray& dir, const QByteArray& lockName, int& lockFd) {
    lockFd = -1;
    // Twice: where the directory has just been made, another program may remove it again
    // as empty before the lock file is in it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        MakeStateDirectory(dir);
        const int dirFd = OpenPrivateDirectory(dir);
        if (dirFd < 0)
            return Lock::NoPlace;
        lockFd = ::openat(dirFd, lockName.constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        const int openError = errno;
        ::close(dirFd);
        if (lockFd >= 0)
            break;
        if (openError != ENOENT)
            return Lock::NoPlace;
    }
    if (lockFd >= 0 && Private(lockFd)) {
        struct stat st {};
        if (::fstat(lockFd, &st) == 0 && S_ISREG(st.st_mode)) {
            if (::flock(lockFd, LOCK_EX | LOCK_NB) == 0)
                return Lock::Taken;
            if (errno == EWOULDBLOCK)
                return Lock::HeldByAnother;
        }
    }
    if (lockFd >= 0)
        ::close(lockFd);  // no file of ours, or a file system without locks
    lockFd = -1;
    return Lock::NoPlace;
}

}  // namespace

void SingleInstance::TakeGuard(const QString& name) {
    const QByteArray lockName = QFile::encodeName(name + QStringLiteral(".lock"));
    for (const QByteArray& dir : LockDirectories()) {
        int lockFd = -1;
        switch (TakeLock(dir, lockName, lockFd)) {
            case Lock::NoPlace:
                continue;
            case Lock::Taken:
                FLock = lockFd;
                FLockFile = QFile::decodeName(dir + '/' + lockName);
                Listen(dir, name);
                return;
            case Lock::HeldByAnother:
                FLock = lockFd;
                FLockFile = QFile::decodeName(dir + '/' + lockName);
                FFirst = false;
                AskFirstToRaise();
                return;
        }
    }
    // Nowhere private to the user: no guard, which must never keep the editor from starting.
}

void SingleInstance::ReleaseGuard() {
    if (FLock >= 0)
        ::close(static_cast<int>(FLock));
    FLock = -1;
}

// The socket goes where a socket belongs, the runtime directory, when that is the user's
// own; else beside the lock, where its path is short enough. Its path is written into the
// lock file, so a later start finds it whatever its own environment says; an empty line
// there tells it that no copy listens.
void SingleInstance::Listen(const QByteArray& lockDir, const QString& name) {
    const int lockFd = static_cast<int>(FLock);
    // Nothing from an earlier copy may point a later start elsewhere.
    if (::ftruncate(lockFd, 0) != 0)
        return;
    QList<QByteArray> dirs;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/'))
        dirs << runtime;
    dirs << SystemRuntimeDirectory() << lockDir;
    QByteArray listening;
    for (const QByteArray& dir : dirs) {
        const int dirFd = OpenPrivateDirectory(dir);
        if (dirFd < 0)
            continue;
        ::close(dirFd);
        const QString socketName =
            QFile::decodeName(dir) + QLatin1Char('/') + name + QStringLiteral(".socket");
        if (Serve(socketName)) {
            listening = QFile::encodeName(socketName);
            break;
        }
    }
    const QByteArray line = listening + '\n';
    if (::pwrite(lockFd, line.constData(), size_t(line.size()), 0) != line.size())
        FServer.close();
}

// The first copy may hold the lock a moment before it listens; a few tries cover that.
// When it never answers, this copy still ends: the first one is there and shows itself.
void SingleInstance::AskFirstToRaise() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QByteArray line = ReadAll(static_cast<int>(FLock));
        if (line == "\n")
            return;
        if (line.endsWith('\n') && AskToRaise(QFile::decodeName(line.chopped(1))))
            return;
        QThread::msleep(100);
    }
}

}  // namespace kormoszi
