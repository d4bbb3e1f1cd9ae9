// Replay through the real browser engine against the loopback server: event files, SET steps,
// the Record page playback and an IE task started by the scheduler.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/replay/browser_replay.h"
#include "core/replay/form_action.h"
#include "core/skin/skin_geometry.h"
#include "core/web/url_encoding.h"
#include "gui/app/main_window.h"
#include "gui/browser/event_loop_waiter.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"
#include "gui/skin/skin.h"
#include "tests/gui/gui_program_test.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

std::string Html(const std::string& body) {
    return "<html><head><meta charset=\"UTF-8\"></head><body data-c=\"\">" + body +
           "</body></html>";
}

const char kSetPage[] =
    "<form id=f1 action=\"/got1\"><input name=tindrel><input name=q>"
    "<textarea id=ta></textarea><select name=sel><option value=a>a</option>"
    "<option value=b>b</option></select>"
    "<input type=button id=bid value=\"By Id\" onclick=\"document.body.dataset.c+='id;'\">"
    "<input type=button value=\"Caption\" onclick=\"document.body.dataset.c+='cap;'\">"
    "<input type=submit value=\"Send\"></form>"
    "<form id=f2 method=post action=\"/got2\"><input name=z value=2>"
    "<input type=submit value=\"Send\"></form>"
    "<a href=\"#\" onclick=\"document.body.dataset.c+='link;';return false\">Link Text</a>";

test::Reply Serve(const test::ReceivedRequest& r) {
    std::string path = r.target.substr(0, r.target.find('?'));
    if (path == "/set.html")
        return test::Reply::Ok(Html(kSetPage));
    if (path == "/postform.html") {
        return test::Reply::Ok(
            Html("<form method=post action=\"/posted\"><input name=q>"
                 "<input type=submit value=\"Go\"></form>"));
    }
    if (path == "/posted") {
        test::Reply reply = test::Reply::Ok(Html("posted"));
        reply.delayMilliseconds = 700;
        return reply;
    }
    if (path == "/buttons.html") {
        return test::Reply::Ok(
            Html("<form method=post action=\"/login\"><input name=u value=me>"
                 "<button>\xE3\x83\xAD\xE3\x82\xB0\xE3\x82\xA4\xE3\x83\xB3</button></form>"
                 "<button type=button onclick=\"document.body.dataset.c+='b;'\">Open</button>"));
    }
    if (path == "/autopost.html") {
        return test::Reply::Ok(
            Html("<form id=f method=post action=\"/self.cgi\"><input name=a value=1></form>"
                 "<script>addEventListener('load', function () {"
                 " document.getElementById('f').submit(); });</script>"));
    }
    if (path == "/refresh.html") {
        return test::Reply::Ok(
            "<html><head><meta http-equiv=refresh content=\"0; url=/next.html\"></head></html>");
    }
    if (path == "/late.html") {
        // The form is drawn by the page's script well after the page loaded; its field is
        // tracked the way the frameworks do (an own value property and the input event).
        return test::Reply::Ok(Html(
            "<div id=spot></div><script>setTimeout(function () {"
            " document.getElementById('spot').innerHTML = '<form action=\"/late-got\">"
            "<input name=q id=q><button>Send</button></form>';"
            " var el = document.getElementById('q'), tracked = el.value;"
            " var own = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, 'value');"
            " Object.defineProperty(el, 'value', { get: function () { return own.get.call(this); },"
            "   set: function (v) { tracked = v; own.set.call(this, v); } });"
            " el.addEventListener('input', function () {"
            "   if (el.value !== tracked) document.body.dataset.c += 'seen:' + el.value; });"
            "}, 1500);</script>"));
    }
    if (path == "/slow") {
        test::Reply reply = test::Reply::Ok(Html("slow"));
        reply.delayMilliseconds = 3000;
        return reply;
    }
    return test::Reply::Ok(Html("<p>" + path + "</p>"));
}

class BrowserReplayGuiTest : public test::GuiProgramTest {
  protected:
    void SetUp() override {
        GuiProgramTest::SetUp();
        ThePendingFormAction() = PendingFormAction();
        window_ = std::make_unique<MainWindow>();
        window_->show();
        page_ = window_->recordPage();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !browser().Busy(); }, 20000));
        QTest::qWait(300);
    }
    void TearDown() override {
        window_.reset();
        App().tasks.Clear();
        App().currentTab = 0;
        App().playing = 0;
        ThePendingFormAction() = PendingFormAction();
        SetActivityLog("", nullptr);
        GuiProgramTest::TearDown();
    }
    WebEngineBrowser& browser() { return *page_->browser(); }
    std::string Url(const std::string& path) { return server_.Url(path); }
    void ReplayFile(const std::string& lines) {
        test::WriteFile(dir_ / "event/t.evf", lines);
        EventLoopWaiter waiter;
        BrowserReplayFile(dir_ / "event/t.evf", browser(), waiter);
    }
    const test::ReceivedRequest* Find(const std::string& targetPrefix) {
        requests_ = server_.Requests();
        for (const auto& r : requests_) {
            if (r.target.rfind(targetPrefix, 0) == 0)
                return &r;
        }
        return nullptr;
    }
    QString Dom(const QString& expression) { return browser().RunScript(expression).toString(); }

    test::LoopbackHttpServer server_{Serve};
    std::vector<test::ReceivedRequest> requests_;
    std::unique_ptr<MainWindow> window_;
    RecordPage* page_ = nullptr;
};

}  // namespace

TEST_F(BrowserReplayGuiTest, FileReplaySendsEachRowAsRecorded) {
    std::string multipart =
        "------WebKitFormBoundaryQR\r\nContent-Disposition: form-data; "
        "name=\"a\"\r\n\r\n1\r\n------WebKitFormBoundaryQR--\r\n";
    std::string stored = multipart;
    PercentEncodeAll(stored);
    ReplayFile("1\tURL\t" + Url("/u.html") +
               "\t\t\r\n"
               "2\tGET\t" +
               Url("/s.cgi") +
               "\tq=1\t\r\n"
               "3\tPOST\t" +
               Url("/p.cgi") +
               "\ta=1&b=%82%A0\t\r\n"
               "4\tPOST\t" +
               Url("/up.cgi") + "\t" + stored +
               "\t\r\n"
               "5\t\t\t\t\r\n");
    const test::ReceivedRequest* r = Find("/u.html");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->method, "GET");
    r = Find("/s.cgi");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->target, "/s.cgi?q=1");
    r = Find("/p.cgi");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->method, "POST");
    EXPECT_EQ(r->body, "a=1&b=%82%A0");
    EXPECT_EQ(r->Header("content-type"), "application/x-www-form-urlencoded");
    r = Find("/up.cgi");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->body, multipart);
    EXPECT_EQ(r->Header("content-type"), "multipart/form-data; boundary=----WebKitFormBoundaryQR");

    // A wait for a slow page runs the event loop and does not spin.
    struct rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer wall;
    wall.start();
    ReplayFile("1\tURL\t" + Url("/slow") + "\t\t\r\n");
    getrusage(RUSAGE_SELF, &after);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    double cpu =
        ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime);
    std::printf("replay wait: %.0f ms of CPU in %lld ms of waiting\n", cpu,
                static_cast<long long>(wall.elapsed()));
    EXPECT_GE(wall.elapsed(), 3000);
}

TEST_F(BrowserReplayGuiTest, QueriesGoOnTheWireWithTheirEscapesAsWritten) {
    // (A path's escapes of unreserved characters the engine itself decodes, as any page's link.)
    ReplayFile("1\tGET\t" + Url("/exact") + "\tq=%41%7e%2F%2f\t\r\n2\tURL\t" +
               Url("/u.html?k=%7E") + "\t\t\r\n3\tURL\t" + Url("/plain.html?a=b") + "\t\t\r\n");
    const test::ReceivedRequest* r = Find("/exact");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->target, "/exact?q=%41%7e%2F%2f");
    EXPECT_EQ(r->Header("referer"), "");
    r = Find("/u.html");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->target, "/u.html?k=%7E");
    EXPECT_EQ(r->Header("referer"), "");
    ASSERT_NE(Find("/plain.html?a=b"), nullptr);
}

TEST_F(BrowserReplayGuiTest, ARowThePageRequestedItselfIsNotSentAgain) {
    std::vector<std::string> messages;
    SetMessageSink([&](const std::string& text) { messages.push_back(text); });
    ReplayFile("1\tURL\t" + Url("/autopost.html") + "\t\t\r\n2\tPOST\t" + Url("/self.cgi") +
               "\ta=1\t\r\n3\tURL\t" + Url("/refresh.html") + "\t\t\r\n4\tURL\t" +
               Url("/next.html") + "\t\t\r\n5\tURL\t" + Url("/next.html") + "\t\t\r\n");
    SetMessageSink(nullptr);
    int posts = 0, nexts = 0;
    for (const auto& r : server_.Requests()) {
        posts += r.target == "/self.cgi" ? 1 : 0;
        nexts += r.target == "/next.html" ? 1 : 0;
    }
    EXPECT_EQ(posts, 1);
    // The refresh's page once for row 4, and row 5 asks for it again itself.
    EXPECT_EQ(nexts, 2);
    int said = 0;
    for (const auto& m : messages)
        said += m.find(J("ページ自身がこの行の要求を送った")) != std::string::npos ? 1 : 0;
    EXPECT_EQ(said, 2);
}

TEST_F(BrowserReplayGuiTest, ASetRowWaitsForAFormTheScriptDrawsAndFailsWhenNoneComes) {
    std::vector<RowResult> results;
    auto replay = [&](const std::string& lines) {
        test::WriteFile(dir_ / "event/t.evf", lines);
        EventLoopWaiter waiter;
        results.clear();
        BrowserReplayFile(dir_ / "event/t.evf", browser(), waiter,
                          [&](const RowResult& r) { results.push_back(r); });
    };
    replay("1\tSET\tsubmit=Send\tinput=q:abc,click=,\t\r\n2\tURL\t" + Url("/late.html") +
           "\t\t\r\n");
    const test::ReceivedRequest* got = Find("/late-got");
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->target, "/late-got?q=abc");
    for (const RowResult& r : results)
        EXPECT_TRUE(r.ok) << r.outcome;

    std::vector<std::string> messages;
    SetMessageSink([&](const std::string& text) { messages.push_back(text); });
    replay("1\tSET\tsubmit=Nope\tinput=q:abc,click=,\t\r\n2\tURL\t" + Url("/plain.html") +
           "\t\t\r\n");
    SetMessageSink(nullptr);
    // Each step whose element never came is a failed row of the run, under its SET row.
    std::string failed;
    for (const RowResult& r : results) {
        if (!r.ok && r.method == "SET")
            failed += r.outcome + ";";
    }
    EXPECT_EQ(failed,
              "form action failed: element not found after 10 s: input=q;"
              "form action failed: element not found after 10 s: submit=Nope;");
    bool said = false;
    for (const auto& m : messages)
        said = said || m.find("submit=Nope") != std::string::npos;
    EXPECT_TRUE(said);
}

TEST_F(BrowserReplayGuiTest, SetStepsFillClickAndSubmit) {
    ArmFormAction("submit=", "input=q:abc,ta:long text,sel:b,click=bid,Caption,Link Text,");
    browser().Navigate(Url("/set.html"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Dom("document.body.dataset.c") == "id;cap;link;"; }, 20000));
    EXPECT_EQ(Dom("document.querySelector('[name=q]').value"), QStringLiteral("abc"));
    EXPECT_EQ(Dom("document.getElementById('ta').value"), QStringLiteral("long text"));
    EXPECT_EQ(Dom("document.querySelector('[name=sel]').value"), QStringLiteral("b"));
    EXPECT_EQ(Dom("document.querySelector('[name=tindrel]').value"), QStringLiteral("yes"));
    EXPECT_EQ(ThePendingFormAction().marker, 0);

    // Without "click=" the action stays armed through a load.
    ArmFormAction("submit=", "input=q:zzz,");
    browser().Navigate(Url("/set.html"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !browser().Busy(); }, 20000));
    QTest::qWait(300);
    EXPECT_EQ(Dom("document.querySelector('[name=q]').value"), QString());
    EXPECT_EQ(ThePendingFormAction().marker, kFormActionArmed);

    // Two forms with the same button caption are both submitted.
    ArmFormAction("submit=Send", "input=q:xyz,click=,");
    browser().Navigate(Url("/set.html?again"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Find("/got1") && Find("/got2"); }, 20000));
    EXPECT_EQ(Find("/got1")->target, "/got1?tindrel=yes&q=xyz&sel=a");
    EXPECT_EQ(Find("/got2")->method, "POST");
    EXPECT_EQ(Find("/got2")->body, "z=2");
}

TEST_F(BrowserReplayGuiTest, SubmitAndClickFindButtonElementsByTheirText) {
    // click=Open presses <button type=button>Open</button>.
    ArmFormAction("submit=", "input=u:me,click=Open,");
    browser().Navigate(Url("/buttons.html"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dom("document.body.dataset.c") == "b;"; }, 20000));
    // submit=ログイン sends the form of <button>ログイン</button>.
    ArmFormAction("submit=" + J("ログイン"), "input=u:you,click=,");
    browser().Navigate(Url("/buttons.html?again"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Find("/login") != nullptr; }, 20000));
    EXPECT_EQ(Find("/login")->body, "u=you");
}

TEST_F(BrowserReplayGuiTest, TheFormASetRowSubmitsReachesTheServerBeforeTheNextRow) {
    ReplayFile(
        "1\tSET\tsubmit=Go\tinput=q:v1,click=,\t\r\n"
        "2\tURL\t" +
        Url("/postform.html") +
        "\t\t\r\n"
        "3\tGET\t" +
        Url("/after") +
        "\tn=1\t\r\n"
        "4\t\t\t\t\r\n");
    requests_ = server_.Requests();
    std::vector<std::string> order;
    for (const auto& r : requests_) {
        if (r.target != "/favicon.ico")
            order.push_back(r.method + " " + r.target);
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"GET /postform.html", "POST /posted", "GET /after?n=1"}));
    const test::ReceivedRequest* posted = Find("/posted");
    ASSERT_NE(posted, nullptr);
    EXPECT_EQ(posted->body, "q=v1");
    // The row after the SET row saw the submitted form's result page.
    EXPECT_EQ(browser().LocationURL(), Url("/after?n=1"));
}

TEST_F(BrowserReplayGuiTest, PlaybackMarksEachEventAndStopsAtTheEmptyPair) {
    window_->SelectTab(kTabRecord);
    EventList& events = page_->events();
    events.Clear();
    events.AddEvent(kMethodUrl, Url("/p1"), "");
    events.AddEvent(kMethodGet, Url("/p2"), "x=1");
    events.AppendEmptyPair();
    page_->PressToolbarButton(1);
    EXPECT_EQ(App().playing, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return App().playing == 0; }, 30000));
    ASSERT_NE(Find("/p1"), nullptr);
    ASSERT_NE(Find("/p2?x=1"), nullptr);
    QTreeWidget* view = page_->eventList();
    EXPECT_TRUE(view->topLevelItem(0)->isSelected());
    EXPECT_TRUE(view->topLevelItem(2)->isSelected());
    EXPECT_TRUE(view->topLevelItem(4)->isSelected());  // marked, then it ends the playback
    EXPECT_FALSE(view->topLevelItem(1)->isSelected());
    EXPECT_FALSE(view->topLevelItem(3)->isSelected());
}

TEST_F(BrowserReplayGuiTest, AnIeTaskStartedByTheSchedulerReplaysItsFile) {
    test::WriteFile(dir_ / "event/ie.evf",
                    "1\tURL\t" + Url("/task-page") + "\t\t\r\n2\t\t\t\t\r\n");
    test::FixedClock clock(LocalTime{2026, 12, 6, 9, 30, 0, 0});
    test::ScopedClock scoped(clock);
    TaskRecord task;
    task.SetName("ie-task");
    task.SetDataFile(dir_ / "event/ie.evf");
    task.EventTime_Year = task.EventTime_Month = task.EventTime_Day = -1;
    task.EventTime_Hour = 9;
    task.EventTime_Minute = 30;
    task.EventExecType = kExecIE;
    App().tasks.Append(task);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Find("/task-page") != nullptr; }, 20000));
    EXPECT_EQ(App().currentTab, kTabRecord);  // the scheduler showed the replay view
    EXPECT_NE(test::ReadFile(dir_ / "quillrun.log").find(J("イベント実行 ie-task")),
              std::string::npos);
    // The run's report, one line per row.
    std::string report = dir_ / "report/20261206-093000_ie-task.txt";
    ASSERT_TRUE(QTest::qWaitFor([&] { return FileExists(report); }, 20000));
    EXPECT_EQ(test::ReadFile(report).rfind(
                  "2026-12-06 09:30:00.000 URL " + Url("/task-page") + " loaded 0 bytes ", 0),
              0u)
        << test::ReadFile(report);
}

TEST_F(BrowserReplayGuiTest, ACertificateTheEngineCannotTrustEndsTheRowWithAMessage) {
    test::LoopbackHttpServer tls(Serve, test::TestCertificate::Make());
    std::vector<std::string> messages;
    SetMessageSink([&](const std::string& text) { messages.push_back(text); });
    QElapsedTimer wall;
    wall.start();
    ReplayFile("1\tURL\t" + tls.Url("/secret") + "\t\t\r\n2\tURL\t" + Url("/after") + "\t\t\r\n");
    QTest::qWait(500);
    SetMessageSink(nullptr);
    EXPECT_EQ(tls.RequestCount(), 0u);
    EXPECT_NE(Find("/after"), nullptr);  // the replay went on with the next row
    bool said = false;
    for (const std::string& m : messages)
        said = said || m.find(J("証明書を確認できないため")) != std::string::npos;
    EXPECT_TRUE(said);
    std::printf("replay with a refused certificate: %lld ms\n",
                static_cast<long long>(wall.elapsed()));
}

}  // namespace quillrun
