// What the program does when a task run has ended (after its retries): the user's notify
// command, and in the desktop program a desktop notification when the task asks for one.
#pragma once

#include <QString>
#include <functional>

namespace quillrun {

// Installs the listener; `desktop` adds the desktop notifications, `shown` (on the
// user-interface thread, after the run's report is written) refreshes what the windows show.
void InstallTaskRunEndNotices(bool desktop, std::function<void()> shown = {});
void RemoveTaskRunEndNotices();

// Shows a notification through the desktop's notification service (org.freedesktop.Notifications
// on the session bus); false when there is none. Tests put a notifier of their own in its place.
bool ShowDesktopNotification(const QString& title, const QString& body);
void SetDesktopNotifier(std::function<bool(const QString&, const QString&)> notifier);

}  // namespace quillrun
