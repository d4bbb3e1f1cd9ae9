#include "gui/tasks/linux_power.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace quillrun {
namespace {

Power* g_power = nullptr;

// Receives logind's PrepareForSleep(false), sent when the machine has resumed.
class ResumeWatcher : public QObject {
    Q_OBJECT
  public:
    QEventLoop loop;
  public slots:
    void PrepareForSleep(bool sleeping) {
        if (!sleeping)
            loop.quit();
    }
};

// The wake alarm takes seconds since the epoch; a new alarm needs the old one cleared first.
bool ArmRtcWakeAlarm(qint64 epochSeconds) {
    QFile alarm(QStringLiteral("/sys/class/rtc/rtc0/wakealarm"));
    if (!alarm.open(QIODevice::WriteOnly))
        return false;
    alarm.write("0\n");
    alarm.close();
    if (!alarm.open(QIODevice::WriteOnly))
        return false;
    return alarm.write(QByteArray::number(epochSeconds) + "\n") > 0;
}

}  // namespace

SuspendResult LinuxPower::SuspendWithWakeTimer(int year, int month, int day, int hour, int minute,
                                               int second) {
    QDateTime wake(QDate(year, month, day), QTime(hour, minute, second), Qt::LocalTime);
    if (wake.isValid() && !ArmRtcWakeAlarm(wake.toSecsSinceEpoch()))
        return SuspendResult::WakeTimerRefused;

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return SuspendResult::SuspendRefused;
    ResumeWatcher watcher;
    bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                &watcher, SLOT(PrepareForSleep(bool)));
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    QDBusReply<void> reply = manager.call(QStringLiteral("Suspend"), false);
    if (!reply.isValid())
        return SuspendResult::SuspendRefused;
    // Back when logind says the machine has resumed (at most a day, should the signal be lost).
    QTimer::singleShot(24 * 3600 * 1000, &watcher.loop, &QEventLoop::quit);
    watcher.loop.exec();
    return SuspendResult::Resumed;
}

Power& ThePower() {
    static LinuxPower desktop;
    return g_power ? *g_power : desktop;
}

void SetPower(Power* power) {
    g_power = power;
}

}  // namespace quillrun

#include "linux_power.moc"
