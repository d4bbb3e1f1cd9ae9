// One program per user: the first start listens on a local socket named after "quillrun"; a
// second start finds it, says so, asks the first to come back from the tray and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quillrun {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(QObject* parent = nullptr);

    static QString ServerName();
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
};

}  // namespace quillrun
