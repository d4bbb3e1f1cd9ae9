#include "gui/skin/tray_icon.h"

#include <QIcon>
#include <QSystemTrayIcon>

#include "core/skin/skin_geometry.h"
#include "gui/skin/skin.h"
#include "gui/text.h"

namespace quillrun {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    icon_ = new QSystemTrayIcon(this);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger)
            emit LeftClicked();  // right and double clicks: nothing
    });
}

void TrayIcon::Add(const std::string& stateText) {
    icon_->setIcon(QIcon(TheSkin().dataFolder + QStringLiteral("object/tray.png")));
    icon_->setToolTip(FromCp932(TrayTip(stateText)));
    icon_->show();
}

void TrayIcon::Remove() {
    icon_->hide();
}

bool TrayIcon::Shown() const {
    return icon_->isVisible();
}

QString TrayIcon::Tip() const {
    return icon_->toolTip();
}

}  // namespace quillrun
