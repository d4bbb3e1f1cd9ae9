#include "gui/app/run_end_notices.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMetaObject>
#include <QVariantMap>
#include <thread>

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/replay/task_run.h"

namespace quillrun {
namespace {

std::function<bool(const QString&, const QString&)>& Notifier() {
    static std::function<bool(const QString&, const QString&)> notifier;
    return notifier;
}

}  // namespace

void SetDesktopNotifier(std::function<bool(const QString&, const QString&)> notifier) {
    Notifier() = std::move(notifier);
}

bool ShowDesktopNotification(const QString& title, const QString& body) {
    if (Notifier())
        return Notifier()(title, body);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("quillrun") << 0u << QStringLiteral("quillrun") << title << body
         << QStringList() << QVariantMap() << 10000;
    // Asked without waiting: a desktop without the service never holds the program up.
    return bus.send(call);
}

void InstallTaskRunEndNotices(bool desktop, std::function<void()> shown) {
    SetTaskRunEndListener([desktop, shown](const TaskRunEnd& end) {
        // A socket task ends on its own thread: the settings (which the Settings page edits)
        // and the desktop are reached on the user-interface thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [desktop, shown, end] {
                if (shown)
                    shown();
                std::string command = App().settings.NotifyCommand;
                if (!command.empty()) {
                    // A thread of its own: the command may take up to its limit.
                    std::thread([end, command] { RunNotifyCommand(end, command); }).detach();
                }
                if (desktop && WantsDesktopNotice(end)) {
                    ShowDesktopNotification(QStringLiteral("quillrun: ") +
                                                QString::fromStdString(Cp932ToUtf8(end.taskName)),
                                            QString::fromStdString(Cp932ToUtf8(
                                                RunEndMessage(end.taskName, end.summary))));
                }
            },
            Qt::QueuedConnection);
    });
}

void RemoveTaskRunEndNotices() {
    SetTaskRunEndListener(nullptr);
}

}  // namespace quillrun
