// One program per user: the first start takes a per-user lock that no second start can take or
// remove, and listens on a local socket named after "quillrun"; a second start finds the lock
// held, says so, asks the first through the socket to come back from the tray and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quillrun {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(QObject* parent = nullptr);

    ~SingleInstance() override;

    static QString ServerName();
    // The per-user lock that only one program holds: a file in the user's runtime folder, else
    // in the home folder. False when another program holds it.
    bool TakeLock();
    static QString LockPath();
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
};

}  // namespace quillrun
