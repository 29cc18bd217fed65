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

    // Takes the lock of name in the user's runtime directory, or, when another copy holds
    // it, asks that copy to raise its window. Without a runtime directory or a lock that
    // can be taken at all, this copy counts as the first: a missing guard must never keep
    // the editor from starting.
    explicit SingleInstance(const QString& name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True in the first copy, which goes on; false in a later one, which should end.
    bool IsFirst() const { return FFirst; }

  signals:
    // A later start asked for the first copy's window.
    void RaiseRequested();

  private:
    bool TakeLock(const QString& lockFile);
    void Listen(const QString& socketName);
    static void AskFirstToRaise(const QString& socketName);

    int FLockFd = -1;
    bool FFirst = true;
    QLocalServer FServer;
};

// Brings a window to the front: out of the task bar if minimised, raised and active.
void RaiseWindow(QWidget* window);

}  // namespace kormoszi
