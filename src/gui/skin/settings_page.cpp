#include "gui/skin/settings_page.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/paths.h"
#include "core/skin/skin_geometry.h"
#include "gui/skin/skin.h"
#include "gui/text.h"

namespace quillrun {
namespace {

void OpenWithTheDesktop(const QString& url) {
    QDesktopServices::openUrl(QUrl(url));
}

std::function<void(const QString&)>& HelpOpener() {
    static std::function<void(const QString&)> opener = OpenWithTheDesktop;
    return opener;
}

QString Background(const QColor& color) {
    return QStringLiteral("background-color: %1;").arg(color.name());
}

QLabel* Static(QWidget* parent, const char* utf8, QRect geometry, const QColor& background,
               const QFont& font) {
    auto* label = new QLabel(QString::fromUtf8(utf8), parent);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setWordWrap(true);
    label->setStyleSheet(Background(background));
    return label;
}

}  // namespace

SettingsPage::SettingsPage(QWidget* parent) : Page(parent) {
    setObjectName(QStringLiteral("SettingsPage"));
    const Skin& skin = TheSkin();
    const QColor statics(255, 107, 143);
    Static(this, "設定", QRect(20, 44, 80, 20), skin.settingsTitle, skin.boldFont)
        ->setObjectName(QStringLiteral("1046"));

    Static(this, "起動時のアドレス", QRect(20, 74, 220, 20), statics, skin.normalFont);
    startPage_ = new QLineEdit(this);
    startPage_->setObjectName(QStringLiteral("1019"));
    startPage_->setGeometry(20, 97, 480, 22);
    startPage_->setFont(skin.normalFont);
    startPage_->setText(FromCp932(App().settings.startpage));
    connect(startPage_, &QLineEdit::textChanged, this,
            [](const QString& text) { App().SetStartPage(ToCp932(text)); });

    BuildChoices();
    Static(this,
           "「いいえ」を選ぶと、記録・再生ページの再生はブラウザの確認ダイアログで止まります。",
           QRect(40, 190, 460, 36), statics, skin.normalFont);
    Static(this, "(タスク実行時ポート：50000、連続投稿抑止機能なし)", QRect(110, 260, 390, 20),
           statics, skin.normalFont);
    Static(this, "(タスク実行時ポート：80、連続投稿抑止機能あり)", QRect(110, 282, 390, 20),
           statics, skin.normalFont);

    // The command run after each task run (kept only when not empty).
    Static(this, "タスク終了時に実行するコマンド", QRect(170, 320, 330, 20), statics,
           skin.normalFont);
    notifyCommand_ = new QLineEdit(this);
    notifyCommand_->setObjectName(QStringLiteral("NotifyCommand"));
    notifyCommand_->setFont(skin.normalFont);
    notifyCommand_->setGeometry(170, 348, 330, 22);
    notifyCommand_->setPlaceholderText(
        QString::fromUtf8("例: notify-send quillrun（シェルは使いません）"));
    notifyCommand_->setText(FromCp932(App().settings.NotifyCommand));
    connect(notifyCommand_, &QLineEdit::textChanged, this,
            [](const QString& text) { App().settings.NotifyCommand = ToCp932(text.trimmed()); });

    Static(this, "ヘルプ", QRect(20, 320, 80, 20), skin.settingsTitle, skin.boldFont)
        ->setObjectName(QStringLiteral("1047"));
    auto* help = new QPushButton(QString::fromUtf8("ヘルプを表示"), this);
    help->setObjectName(QStringLiteral("1023"));
    help->setGeometry(20, 346, 130, 26);
    connect(help, &QPushButton::clicked, this, &SettingsPage::OpenHelp);
    KeepLayoutSize(QSize(543, 403));  // the page at the usual window size
}

// The yes/no choices, each bound to its setting.
void SettingsPage::BuildChoices() {
    const Skin& skin = TheSkin();
    const QColor statics(255, 107, 143);
    struct Choice {
        const char* label;
        int yesId;
        std::int32_t* setting;
        int y;
        bool stacked;  // the choices one under the other, each with its note
    };
    Choice choices[] = {
        {"起動時にタスクバーに収納", 1035, &App().settings.StartUpInTask, 134, false},
        {"IEのダイアログを自動で閉じる", 1037, &App().settings.AutoIEClose, 166, false},
        {"CGIテストモード", 1039, &App().settings.CGITestMode, 236, true},
    };
    for (const Choice& c : choices) {
        Static(this, c.label, QRect(20, c.y, 220, 20), statics, skin.normalFont);
        auto* group = new QButtonGroup(this);
        auto* yes = new QRadioButton(QString::fromUtf8("はい"), this);
        auto* no = new QRadioButton(QString::fromUtf8("いいえ"), this);
        yes->setObjectName(QString::number(c.yesId));
        no->setObjectName(QString::number(c.yesId + 1));
        if (c.stacked) {
            yes->setGeometry(40, c.y + 24, 64, 20);
            no->setGeometry(40, c.y + 46, 64, 20);
        } else {
            yes->setGeometry(250, c.y, 64, 20);
            no->setGeometry(318, c.y, 72, 20);
        }
        for (QRadioButton* r : {yes, no}) {
            r->setFont(skin.normalFont);
            r->setStyleSheet(Background(statics));
        }
        group->addButton(yes);
        group->addButton(no);
        (*c.setting == 1 ? yes : no)->setChecked(true);
        radios_[c.yesId - 1035] = yes;
        radios_[c.yesId - 1034] = no;
        std::int32_t* setting = c.setting;
        connect(yes, &QRadioButton::toggled, this,
                [setting, yes] { *setting = yes->isChecked() ? 1 : 0; });
    }
}

int SettingsPage::ToolbarTab() const {
    return kTabSettings;
}

void SettingsPage::SetHelpOpener(std::function<void(const QString&)> opener) {
    // No opener puts the desktop's back.
    HelpOpener() = opener ? std::move(opener) : OpenWithTheDesktop;
}

void SettingsPage::OpenHelp() {
    HelpOpener()(
        QUrl::fromLocalFile(QFile::decodeName((NativeDataFolder() + "help/index.html").c_str()))
            .toString());
}

QRadioButton* SettingsPage::radio(int id) const {
    return (id >= 1035 && id <= 1040) ? radios_[id - 1035] : nullptr;
}

void SettingsPage::mousePressEvent(QMouseEvent* event) {
    QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && p.x() > 0 && p.x() <= 89 && p.y() > 0 && p.y() <= 30) {
        OpenHelp();
    }
}

}  // namespace quillrun
