#include "gui/skin/tray_icon.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "core/platform/cp932.h"
#include "core/skin/skin_geometry.h"
#include "gui/skin/skin.h"
#include "gui/text.h"

namespace quillrun {

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent), stateTip_(FromCp932(TrayTip(J("タスク動作待機中")))) {
    icon_ = new QSystemTrayIcon(this);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger)
            emit LeftClicked();  // a double click: nothing; a right click: the menu
    });
    // The Task watch is reached from the tray too, not only by Ctrl and a right click.
    menu_ = new QMenu();
    lastRun_ = menu_->addAction(QString());
    lastRun_->setObjectName(QStringLiteral("trayLastRun"));
    lastRun_->setEnabled(false);
    menu_->addSeparator();
    connect(this, &QObject::destroyed, menu_, &QObject::deleteLater);
    menu_->addAction(QString::fromUtf8("タスクウォッチ"), this, &TrayIcon::TaskWatchRequested)
        ->setObjectName(QStringLiteral("trayTaskWatch"));
    menu_->addAction(QString::fromUtf8("ウィンドウに戻す"), this, &TrayIcon::LeftClicked)
        ->setObjectName(QStringLiteral("trayRestore"));
    icon_->setContextMenu(menu_);
}

void TrayIcon::Add(const std::string& stateText) {
    icon_->setIcon(QIcon(TheSkin().dataFolder + QStringLiteral("object/tray.png")));
    stateTip_ = FromCp932(TrayTip(stateText));
    SetLastRun(lastRun_->text());
    icon_->show();
}

void TrayIcon::Remove() {
    icon_->hide();
}

void TrayIcon::SetLastRun(const QString& text) {
    lastRun_->setText(text);
    icon_->setToolTip(text.isEmpty() ? stateTip_ : stateTip_ + QLatin1Char('\n') + text);
}

bool TrayIcon::Shown() const {
    return icon_->isVisible();
}

QString TrayIcon::Tip() const {
    return icon_->toolTip();
}

}  // namespace quillrun
