#include "gui/tasks/linux_power.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "core/platform/clock.h"

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

std::string g_wakeAlarmPath = "/sys/class/rtc/rtc0/wakealarm";

// One write to the alarm file; the RTC says at once (EINVAL, ERANGE) whether it takes the value.
bool WriteAlarm(const std::string& text) {
    int fd = ::open(g_wakeAlarmPath.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    ssize_t n = ::write(fd, text.data(), text.size());
    bool ok = n == static_cast<ssize_t>(text.size());
    ok = ::close(fd) == 0 && ok;
    return ok;
}

// The wake alarm takes seconds since the epoch; a new alarm needs the old one cleared first.
bool ArmRtcWakeAlarm(long long epochSeconds) {
    return WriteAlarm("0\n") && WriteAlarm(std::to_string(epochSeconds) + "\n");
}

}  // namespace

SuspendResult LinuxPower::ArmWakeAlarm(int year, int month, int day, int hour, int minute,
                                       int second, long long& armedSeconds) {
    // Never a suspend without an alarm that rings: a wake time that is no real date is made
    // real, one that has passed is refused.
    armedSeconds = WakeAlarmSeconds(year, month, day, hour, minute, second);
    if (armedSeconds * 1000 <= WallMillisecondsOf(CurrentClock().Now()))
        return SuspendResult::WakeTimeInPast;
    if (!ArmRtcWakeAlarm(armedSeconds))
        return SuspendResult::WakeTimerRefused;
    return SuspendResult::Resumed;
}

SuspendResult LinuxPower::SuspendWithWakeTimer(int year, int month, int day, int hour, int minute,
                                               int second) {
    long long armed = 0;
    SuspendResult alarm = ArmWakeAlarm(year, month, day, hour, minute, second, armed);
    if (alarm != SuspendResult::Resumed)
        return alarm;

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

void SetWakeAlarmPath(const std::string& path) {
    g_wakeAlarmPath = path.empty() ? "/sys/class/rtc/rtc0/wakealarm" : path;
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
