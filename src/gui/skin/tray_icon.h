// The notification-area icon that stands for the hidden main window.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace quillrun {

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    explicit TrayIcon(QObject* parent = nullptr);

    // Shows the icon with the tip "<state> Webリクエスト自動再生機 -KESTREL- Ver1.10" (63 bytes
    // at most), and below it the last run. Without a notification area the icon cannot be added.
    void Add(const std::string& stateText);
    void Remove();
    bool Shown() const;
    QString Tip() const;
    // The icon's menu (right click): 「タスクウォッチ」 and 「ウィンドウに戻す」.
    QMenu* Menu() const { return menu_; }
    // The last run, or what is to be said of it: the menu's first line (not a command) and the
    // tip's second.
    void SetLastRun(const QString& text);

  signals:
    // A left click on the icon, or the menu's 「ウィンドウに戻す」.
    void LeftClicked();
    // The menu's 「タスクウォッチ」.
    void TaskWatchRequested();

  private:
    QSystemTrayIcon* icon_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* lastRun_ = nullptr;
    QString stateTip_;
};

}  // namespace quillrun
