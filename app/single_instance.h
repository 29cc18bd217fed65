#pragma once
// One copy of the editor per user session. The first start holds a lock that the system
// drops with the process, however it ends, and listens for later starts; a later start
// asks the first to bring its window to the front and then ends.

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace kormoszi {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // The name under which the copies of the editor find each other.
    static QString DefaultName() { return QStringLiteral("hu.pelvador.Kormoszi"); }

    // Takes the lock of name in the user's state directory (~/.local/state/kormoszi of the
    // home the user database names, whatever the environment says; on Windows a mutex of
    // the session, Local\name), or, when another copy holds it, asks that copy to raise
    // its window. Where no place private to the user
    // takes a lock at all, this copy counts as the first: a missing guard must never keep
    // the editor from starting.
    explicit SingleInstance(const QString& name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True in the first copy, which goes on; false in a later one, which should end.
    bool IsFirst() const { return FFirst; }
    // The lock file this copy took or found held (on Windows the mutex's name); empty
    // without a guard.
    QString LockFile() const { return FLockFile; }

  signals:
    // A later start asked for the first copy's window.
    void RaiseRequested();

  private:
    // The system's part, one file per platform: takes the guard and listens, or finds it
    // held and asks the holder to raise its window; and lets the guard go.
    void TakeGuard(const QString& name);
    void ReleaseGuard();
    // Listens under serverName for later starts; false where nobody can listen there.
    bool Serve(const QString& serverName);
    // Asks the copy that listens under serverName to raise its window; false when it did
    // not answer.
    static bool AskToRaise(const QString& serverName);
    // On POSIX: listens and tells later starts where, in the lock file; asks the copy that
    // the lock file names.
    void Listen(const QByteArray& lockDir, const QString& name);
    void AskFirstToRaise();

    qintptr FLock = -1;  // the lock file's descriptor; on Windows the mutex's handle
    bool FFirst = true;
    QString FLockFile;
    QLocalServer FServer;
};

// Brings a window to the front: out of the task bar if minimised, raised and active.
void RaiseWindow(QWidget* window);

}  // namespace kormoszi
