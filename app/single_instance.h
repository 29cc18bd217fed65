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
    // home the user database names, whatever the environment says), or, when another copy
    // holds it, asks that copy to raise its window. Where no place private to the user
    // takes a lock at all, this copy counts as the first: a missing guard must never keep
    // the editor from starting.
    explicit SingleInstance(const QString& name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True in the first copy, which goes on; false in a later one, which should end.
    bool IsFirst() const { return FFirst; }
    // The lock file this copy took or found held; empty without a guard.
    QString LockFile() const { return FLockFile; }

  signals:
    // A later start asked for the first copy's window.
    void RaiseRequested();

  private:
    enum class Lock { Taken, HeldByAnother, NoPlace };
    Lock TakeLock(const QByteArray& dir, const QByteArray& lockName);
    void Listen(const QByteArray& lockDir, const QString& name);
    void AskFirstToRaise();

    int FLockFd = -1;
    bool FFirst = true;
    QString FLockFile;
    QLocalServer FServer;
};

// Brings a window to the front: out of the task bar if minimised, raised and active.
void RaiseWindow(QWidget* window);

}  // namespace kormoszi
