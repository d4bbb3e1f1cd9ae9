// The notification-area icon that stands for the hidden main window.
#pragma once

#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace quillrun {

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    explicit TrayIcon(QObject* parent = nullptr);

    // Shows the icon with the tip "<state> Webリクエスト自動再生機 -KESTREL- Ver1.10" (63 bytes
    // at most). Without a notification area the icon cannot be added.
    void Add(const std::string& stateText);
    void Remove();
    bool Shown() const;
    QString Tip() const;

  signals:
    // A left click on the icon.
    void LeftClicked();

  private:
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace quillrun
