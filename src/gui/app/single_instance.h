// One program per user and one per program folder. The first start takes a per-user lock in a
// folder that no environment variable moves (/run/user/<uid> when it is the user's, else a
// 0700 folder of the user's own under /tmp, or the folder --instance-dir names) and listens on
// a local socket there; it also takes a lock inside the program folder, so that no two desktop
// or headless programs ever run on one folder. A second start finds a lock held, says so, asks
// the first through the socket to come back from the tray and ends. A lock that cannot be
// taken at all is a refusal, never a start without it.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quillrun {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Lock { Taken, Held, Impossible };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // --instance-dir: the per-user folder for this start (tests, deliberate second setups).
    static void SetInstanceFolder(const QString& folder);
    // The per-user folder (made when missing); empty with the reason when none is safe to use
    // (another account's, open to others, a link).
    static QString InstanceFolder(QString* problem = nullptr);

    static QString ServerName();
    static QString LockPath();
    // The per-user lock.
    Lock TakeLock(QString* problem = nullptr);
    // Notes in the per-user lock file who holds it, for a second start to say: "desktop" or
    // "headless", this process's id and its program folder.
    void SayWhoHolds(const QString& mode, const QString& programFolder);
    struct Holder {
        QString mode;  // empty when the lock file says nothing
        qint64 pid = 0;
        QString folder;
    };
    static Holder LockHolder();
    // The program folder's lock ("quillrun.lock" in it).
    Lock TakeFolderLock(const QString& programFolder, QString* problem = nullptr);
    // True when another instance answers.
    static bool OtherInstanceRuns();
    // Sends the running instance the tray callback with a left-button press (4099, 0, 513).
    static bool RestoreOtherInstance();
    // Starts listening; false when that is not possible.
    bool Listen();

  signals:
    void RestoreRequested();

  private:
    QLocalServer* server_ = nullptr;
    int lockFd_ = -1;
    int folderLockFd_ = -1;
};

}  // namespace quillrun
