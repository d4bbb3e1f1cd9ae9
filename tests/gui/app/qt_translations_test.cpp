// Qt's own boxes and dialogs speak Japanese in a Japanese locale: the program's confirm box and
// its file dialog, opened for real, show Qt's Japanese buttons and labels beside the program's
// own texts.
#include "gui/app/qt_translations.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <memory>

#include "core/platform/cp932.h"
#include "gui/app/gui_prompter.h"

namespace quillrun {
namespace {

TEST(QtTranslations, TheConfirmBoxAndTheFileDialogShowQtsJapaneseTexts) {
    ASSERT_TRUE(LoadQtTranslations(*qApp, QLocale(QLocale::Japanese, QLocale::Japan)))
        << "Qt's Japanese translations (qt6-translations-l10n) are not installed";
    auto seen = std::make_shared<QStringList>();
    auto collect = [seen] {
        QTimer::singleShot(200, [seen] {
            QWidget* window = QApplication::activeModalWidget();
            ASSERT_NE(window, nullptr);
            for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
                seen->append(b->text());
            for (QLabel* l : window->findChildren<QLabel*>())
                seen->append(l->text());
            qobject_cast<QDialog*>(window)->reject();
        });
    };
    collect();
    ShowPrompt(nullptr, J("「はい(Ｙ)」を押してください"), J("確認"), PromptButtons::YesNo,
               PromptIcon::Question);
    QString box = seen->join(QStringLiteral("|"));
    EXPECT_TRUE(box.contains(QString::fromUtf8("はい"))) << box.toStdString();
    EXPECT_TRUE(box.contains(QString::fromUtf8("いいえ"))) << box.toStdString();
    EXPECT_TRUE(
        box.contains(QString::fromUtf8("「はい(Ｙ)」を押してください")));  // the program's own

    seen->clear();
    collect();
    AskEventFilePath(nullptr, true, QString::fromUtf8("名前を付けて保存"), QDir::tempPath());
    QString dialog = seen->join(QStringLiteral("|"));
    EXPECT_TRUE(dialog.contains(QString::fromUtf8("保存"))) << dialog.toStdString();
    EXPECT_TRUE(dialog.contains(QString::fromUtf8("キャンセル"))) << dialog.toStdString();
    EXPECT_TRUE(dialog.contains(QString::fromUtf8("ファイル名"))) << dialog.toStdString();

    // Back to English: the translations are taken away again.
    EXPECT_FALSE(LoadQtTranslations(*qApp, QLocale::c()));
    seen->clear();
    collect();
    ShowPrompt(nullptr, "x", "y", PromptButtons::YesNo, PromptIcon::Question);
    EXPECT_TRUE(seen->join(QStringLiteral("|")).contains(QStringLiteral("Yes")))
        << seen->join(QStringLiteral("|")).toStdString();
}

}  // namespace
}  // namespace quillrun
