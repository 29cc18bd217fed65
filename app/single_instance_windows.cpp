#include <windows.h>

#include <QThread>

#include "app/single_instance.h"

namespace kormoszi {
namespace {

// Named pipes have no session of their own: the session's number in the name keeps the
// copies of two logged-in users (or of two sessions of one) apart.
QString ServerName(const QString& name) {
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return name + QStringLiteral("-%1").arg(session);
}

}  // namespace

// The guard is a named mutex in the session's namespace: the system drops it with the
// last handle, so also with a process that crashed or was killed. Only its existence
// counts; nobody waits on it.
void SingleInstance::TakeGuard(const QString& name) {
    const QString mutexName = QStringLiteral("Local\\") + name;
    HANDLE mutex =
        ::CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(mutexName.utf16()));
    if (mutex == nullptr)
        return;  // no guard, which must never keep the editor from starting
    FLockFile = mutexName;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
        FLock = reinterpret_cast<qintptr>(mutex);
        Serve(ServerName(name));
        return;
    }
    ::CloseHandle(mutex);
    FFirst = false;
    // The system gives the foreground only to a program the user just started; this one
    // passes it on to the first copy.
    ::AllowSetForegroundWindow(ASFW_ANY);
    // The first copy may hold the mutex a moment before it listens; a few tries cover that.
    // When it never answers, this copy still ends: the first one is there and shows itself.
    for (int attempt = 0; attempt < 20 && !AskToRaise(ServerName(name)); ++attempt)
        QThread::msleep(100);
}

void SingleInstance::ReleaseGuard() {
    if (FLock != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(FLock));
    FLock = -1;
}

}  // namespace kormoszi
