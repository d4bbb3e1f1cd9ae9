// The request editor opened from the Record page's event list, offscreen.
#include "gui/recording/request_editor_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/skin/skin_geometry.h"
#include "gui/app/gui_prompter.h"
#include "gui/app/main_window.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"
#include "gui/skin/skin.h"
#include "tests/gui/gui_program_test.h"
#include "tests/support/temp_folder.h"
#include "tests/support/widget_overlap.h"

namespace quillrun {
namespace {

class RequestEditorDialogTest : public test::GuiProgramTest {
  protected:
    void SetUp() override {
        GuiProgramTest::SetUp();
        App().settings.OutputDebugTrace = 1;
        SetPromptHook(
            [this](const std::string& text, const std::string&, PromptButtons, PromptIcon) {
                prompts_.push_back(text);
                return PromptAnswer::Ok;
            });
        window_ = std::make_unique<MainWindow>();
        window_->show();
        window_->SelectTab(kTabRecord);
        page_ = window_->recordPage();
    }
    void TearDown() override {
        window_.reset();
        SetPromptHook(nullptr);
        App().modalDialog = 0;
        App().currentTab = 0;
        SetActivityLog("", nullptr);
        GuiProgramTest::TearDown();
    }
    // Runs `act` on the dialog while it is open (its own event loop runs meanwhile).
    void EditRow(int row, std::function<void(RequestEditorDialog&)> act) {
        page_->eventList()->SetFocusRow(row);
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<RequestEditorDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
        page_->EditFocusedEvent();
    }
    template <typename T>
    static T* Get(RequestEditorDialog& d, int id) {
        return qobject_cast<T*>(d.Control(id));
    }
    static void Shoot(RequestEditorDialog& d, const char* name) {
        if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR")) {
            d.grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') +
                          QString::fromLatin1(name));
        }
    }

    std::unique_ptr<MainWindow> window_;
    RecordPage* page_ = nullptr;
    std::vector<std::string> prompts_;
};

}  // namespace

// On an 800 × 600 screen the whole editor, its title bar and its OK and キャンセル are seen,
// and no control covers another.
TEST_F(RequestEditorDialogTest, TheEditorFitsASmallScreen) {
    EventList& events = page_->events();
    events.Clear();
    events.AddEvent(kMethodPost, "http://h/p.cgi", "name=%82%A0&x=1");
    events.AppendEmptyPair();
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The main window low on the screen: centred over it, the editor would run off its foot.
    window_->move(0, screen.bottom() - 300);
    bool checked = false;
    EditRow(0, [&](RequestEditorDialog& d) {
        EXPECT_LE(d.width(), 800);
        EXPECT_LE(32 + d.height(), 600);
        EXPECT_GE(d.y(), screen.top());
        EXPECT_LE(d.y() + 32 + d.height(), screen.bottom() + 1);  // a usual title bar
        EXPECT_GE(d.x(), screen.left());
        EXPECT_LE(d.x() + d.width(), screen.right() + 1);
        for (int id : {1009, 1010}) {
            QWidget* button = d.Control(id);
            EXPECT_TRUE(d.rect().contains(button->geometry())) << id;
        }
        std::vector<std::string> overlaps = test::OverlappingControls(&d);
        EXPECT_TRUE(overlaps.empty()) << overlaps.front();
        Shoot(d, "request-editor-800x600.png");
        checked = true;
        Get<QPushButton>(d, 1009)->click();
    });
    EXPECT_TRUE(checked);
}

TEST_F(RequestEditorDialogTest, EditingAPostRewritesItsRow) {
    EventList& events = page_->events();
    events.Clear();
    events.AddEvent(kMethodPost, "http://h/p.cgi", "name=%82%A0&x=1");
    events.AppendEmptyPair();
    EditRow(0, [](RequestEditorDialog& d) {
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8("リクエスト編集"));
        EXPECT_EQ(App().modalDialog, 1);
        EXPECT_TRUE(Get<QRadioButton>(d, 1006)->isChecked());
        EXPECT_EQ(Get<QLineEdit>(d, 1003)->text(), QStringLiteral("000001"));
        EXPECT_EQ(Get<QPlainTextEdit>(d, 1008)->toPlainText(), QString::fromUtf8("name=あ&x=1"));
        EXPECT_EQ(Get<QLineEdit>(d, 1011)->text(), QStringLiteral("SJIS"));
        Shoot(d, "request-editor-post.png");
        Get<QPlainTextEdit>(d, 1008)->setPlainText(QString::fromUtf8("name=い&x=2"));
        EXPECT_EQ(Get<QPlainTextEdit>(d, 1021)->toPlainText(), QStringLiteral("name=%82%A2&x=2"));
        Get<QPushButton>(d, 1010)->click();
    });
    EXPECT_EQ(App().modalDialog, 0);
    EXPECT_EQ(events.MethodOf(0), "POST");
    EXPECT_EQ(events.DataOf(0), "name=%82%A2&x=2");
    EXPECT_EQ(events.PairCount(), 2);
    std::string log = test::ReadFile(dir_ / "quillrun.log");
    EXPECT_NE(log.find("Direct Input Dialog _ Show"), std::string::npos);
    EXPECT_NE(log.find("Direct Input Dialog _ Pushed OK"), std::string::npos);
    EXPECT_NE(log.find("Direct Input Dialog _ Close"), std::string::npos);
}

TEST_F(RequestEditorDialogTest, TheEmptyPairBecomesASetEventAndANewEmptyPairFollows) {
    EventList& events = page_->events();
    events.Clear();
    events.AppendEmptyPair();
    EditRow(0, [](RequestEditorDialog& d) {
        EXPECT_EQ(Get<QLineEdit>(d, 1007)->text(), QStringLiteral("about:blank"));
        Get<QRadioButton>(d, 1052)->click();
        Get<QComboBox>(d, 1045)->setEditText(QStringLiteral("q"));
        Get<QPlainTextEdit>(d, 1013)->setPlainText(QStringLiteral("abc"));
        Get<QPushButton>(d, 1023)->click();
        Get<QComboBox>(d, 1047)->setEditText(QStringLiteral("go"));
        Get<QPushButton>(d, 1024)->click();
        Get<QLineEdit>(d, 1015)->setText(QStringLiteral("s"));
        Shoot(d, "request-editor-set.png");
        Get<QPushButton>(d, 1010)->click();
    });
    ASSERT_EQ(prompts_.size(), 1u);  // the SET notice
    EXPECT_EQ(events.MethodOf(0), "SET");
    EXPECT_EQ(events.UrlOf(0), "submit=s");
    EXPECT_EQ(events.DataOf(0), "input=q:abc,click=go,");
    EXPECT_EQ(events.PairCount(), 2);
    EXPECT_EQ(events.MethodOf(1), "");

    // Cancel writes nothing.
    EditRow(0, [](RequestEditorDialog& d) { Get<QPushButton>(d, 1009)->click(); });
    EXPECT_EQ(events.DataOf(0), "input=q:abc,click=go,");
}

TEST_F(RequestEditorDialogTest, LineBreaksInTheEditedDataAreCrLf) {
    EventList& events = page_->events();
    events.Clear();
    events.AddEvent(kMethodPost, "http://h/p.cgi", "a=x%0D%0Ay");
    events.AppendEmptyPair();
    EditRow(0, [](RequestEditorDialog& d) {
        auto* data = Get<QPlainTextEdit>(d, 1008);
        EXPECT_EQ(data->toPlainText(), QStringLiteral("a=x\ny"));
        // The user adds a line at the end, with the keyboard.
        data->setFocus();
        data->moveCursor(QTextCursor::End);
        QTest::keyClick(data, Qt::Key_Return);
        QTest::keyClicks(data, QStringLiteral("z"));
        Get<QPushButton>(d, 1010)->click();
    });
    EXPECT_EQ(events.DataOf(0), "a=x%0D%0Ay%0D%0Az");
}

TEST_F(RequestEditorDialogTest, TypingANewValueNameLeavesTheSelectedEntryItsValue) {
    EventList& events = page_->events();
    events.Clear();
    events.AddEvent(kMethodSet, "submit=", "input=q:abc,click=go,");
    events.AppendEmptyPair();
    prompts_.clear();
    EditRow(0, [](RequestEditorDialog& d) {
        auto* names = Get<QComboBox>(d, 1045);
        EXPECT_EQ(names->currentText(), QStringLiteral("q"));
        names->lineEdit()->selectAll();
        QTest::keyClicks(names->lineEdit(), QStringLiteral("z"));
        Get<QPlainTextEdit>(d, 1013)->setPlainText(QStringLiteral("v"));
        Get<QPushButton>(d, 1023)->click();
        Get<QPushButton>(d, 1010)->click();
    });
    EXPECT_EQ(events.DataOf(0), "input=q:abc,z:v,click=go,");
}

TEST_F(RequestEditorDialogTest, APressOnTheListHeaderOpensNoEditor) {
    EventList& events = page_->events();
    events.Clear();
    events.AddEvent(kMethodUrl, "http://h/a.html", "");
    events.AppendEmptyPair();
    int opened = 0;
    auto closeIfOpened = [&opened] {
        if (auto* dialog = qobject_cast<RequestEditorDialog*>(QApplication::activeModalWidget())) {
            ++opened;
            dialog->reject();
        }
    };
    MethodListView* list = page_->eventList();
    list->SetFocusRow(0);
    QTimer::singleShot(200, closeIfOpened);
    // The user drags the border of the first column to size it.
    QWidget* header = list->header()->viewport();
    QPoint border(list->header()->sectionSize(0) - 1, 5);
    QTest::mousePress(header, Qt::LeftButton, Qt::NoModifier, border);
    QTest::mouseMove(header, border + QPoint(30, 0));
    QTest::mouseRelease(header, Qt::LeftButton, Qt::NoModifier, border + QPoint(30, 0));
    QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
    QTest::qWait(300);
    EXPECT_EQ(opened, 0);
    // A press on a row opens it.
    QTimer::singleShot(200, closeIfOpened);
    QRect row = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QTest::qWait(300);
    EXPECT_EQ(opened, 1);
}

TEST_F(RequestEditorDialogTest, ASecondModalDialogIsRefused) {
    EventList& events = page_->events();
    events.Clear();
    events.AddEvent(kMethodUrl, "http://h/a", "");
    events.AppendEmptyPair();
    App().modalDialog = 1;  // the Task watch is open
    page_->eventList()->SetFocusRow(0);
    page_->EditFocusedEvent();  // returns at once: nothing to answer
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(App().modalDialog, 1);
}

}  // namespace quillrun

namespace quillrun {

TEST_F(RequestEditorDialogTest, AScriptRowKeepsItsMethodBodyAndHeadersAndTheyCanBeEdited) {
    EventList& events = page_->events();
    events.Clear();
    std::string headers = std::string(kPercentBodyEntry) + kHeaderSeparator + "Origin: http://h" +
                          kHeaderSeparator + "Content-Type: text/plain;charset=UTF-8";
    events.AddEvent(kMethodPost, "http://h/api/lines", "%61%0A%62", headers);
    events.AddEvent(kMethodDelete, "http://h/api/items/8", "", "Origin: http://h");
    events.AddEvent(kMethodPost, "http://h/p.cgi", "a=1");
    events.AppendEmptyPair();
    auto headersBox = [](RequestEditorDialog& d) {
        return d.findChild<QPlainTextEdit*>(QStringLiteral("Headers"));
    };
    // Opened and confirmed untouched: the same row, byte for byte.
    EditRow(0, [&](RequestEditorDialog& d) {
        ASSERT_NE(headersBox(d), nullptr);
        EXPECT_TRUE(headersBox(d)->isEnabled());
        EXPECT_EQ(headersBox(d)->toPlainText(),
                  QStringLiteral("Origin: http://h\nContent-Type: text/plain;charset=UTF-8"));
        EXPECT_FALSE(Get<QRadioButton>(d, 1005)->isEnabled());
        Shoot(d, "request-editor-script.png");
        Get<QPushButton>(d, 1010)->click();
    });
    EXPECT_EQ(events.MethodOf(0), "POST");
    EXPECT_EQ(events.DataOf(0), "%61%0A%62");
    EXPECT_EQ(events.HeadersOf(0), headers);
    EditRow(2, [&](RequestEditorDialog& d) {
        EXPECT_EQ(headersBox(d)->toPlainText(), QStringLiteral("Origin: http://h"));
        // A header added by hand.
        headersBox(d)->setPlainText(QStringLiteral("Origin: http://h\nX-CSRF-Token:  abc "));
        Get<QPushButton>(d, 1010)->click();
    });
    EXPECT_EQ(events.MethodOf(1), "DELETE");
    EXPECT_EQ(events.DataOf(1), "");
    EXPECT_EQ(events.HeadersOf(1),
              std::string("Origin: http://h") + kHeaderSeparator + "X-CSRF-Token: abc");
    // A line that is no header is refused and the row stays as it was.
    EditRow(2, [&](RequestEditorDialog& d) {
        headersBox(d)->setPlainText(QStringLiteral("not a header"));
        Get<QPushButton>(d, 1010)->click();
        EXPECT_TRUE(d.isVisible());
        headersBox(d)->setPlainText(QString());  // nor may a script row lose them all
        Get<QPushButton>(d, 1010)->click();
        EXPECT_TRUE(d.isVisible());
        // Nor a header the sender writes itself: two Hosts would go.
        headersBox(d)->setPlainText(QStringLiteral("Origin: http://h\nHost: elsewhere"));
        Get<QPushButton>(d, 1010)->click();
        EXPECT_TRUE(d.isVisible());
        Get<QPushButton>(d, 1009)->click();
    });
    ASSERT_EQ(prompts_.size(), 3u);
    EXPECT_EQ(prompts_[0], J("ヘッダーは1行に1つ、「名前: 値」の形で書きます"));
    EXPECT_EQ(prompts_[2],
              J("このヘッダーは送信側が自分で書くか中継用のため、行には書けません: Host"));
    EXPECT_EQ(events.HeadersOf(1),
              std::string("Origin: http://h") + kHeaderSeparator + "X-CSRF-Token: abc");
    // A form's row has none to edit and gets none.
    EditRow(4, [&](RequestEditorDialog& d) {
        EXPECT_FALSE(headersBox(d)->isEnabled());
        Get<QPushButton>(d, 1010)->click();
    });
    EXPECT_EQ(events.HeadersOf(2), "");
    EXPECT_EQ(events.DataOf(2), "a=1");
}

}  // namespace quillrun
