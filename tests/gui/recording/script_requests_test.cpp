// Requests a page sends by script: recorded on the Record page with the real engine, and
// replayed by both engines through the real program, against the loopback server.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/ini.h"
#include "core/platform/message_sink.h"
#include "core/recording/event_list.h"
#include "core/skin/skin_geometry.h"
#include "gui/app/main_window.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/record_page.h"
#include "tests/gui/gui_program_test.h"
#include "tests/gui/program_process.h"
#include "tests/gui/recording/recording_page_test.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

// A page whose buttons send what today's sites send by script.
const char kApiPage[] =
    "<html><head><meta charset=UTF-8><title>t</title></head><body>"
    "<form id=f><input name=user value=\"\xE9\xAB\x99\xE6\xA9\x8B\"><input name=n value=\"1 2\">"
    "</form><script>"
    "function json() { fetch('/api/items?v=2', {method: 'POST', headers: {'Content-Type': "
    "'application/json', 'X-CSRF-Token': 't0k'}, body: JSON.stringify({name: "
    "'\xE9\xAB\x99\xE6\xA9\x8B', n: 1})}).then(function (r) { return r.text(); })"
    ".then(function (t) { document.title = 'json ' + t; }); }"
    "function xhrForm() { var x = new XMLHttpRequest(); x.open('POST', 'api/form');"
    "x.setRequestHeader('X-Requested-With', 'XMLHttpRequest');"
    "x.onload = function () { document.title = 'form ' + x.responseText; };"
    "x.send(new FormData(document.getElementById('f'))); }"
    "function xhrPut() { var x = new XMLHttpRequest(); x.open('PUT', '/api/items/7');"
    "x.setRequestHeader('Content-Type', 'application/x-www-form-urlencoded');"
    "x.onload = function () { document.title = 'put ' + x.responseText; };"
    "x.send('a=%41&b=' + encodeURIComponent('\xE3\x81\x82')); }"
    "function del() { fetch('/api/items/8', {method: 'DELETE'}).then(function () {"
    "document.title = 'deleted'; }); }"
    "function others() { fetch('/api/list'); navigator.sendBeacon('/beacon', 'x');"
    "try { new WebSocket('ws://127.0.0.1:9/'); } catch (e) {}"
    "fetch('/api/opt', {method: 'OPTIONS'});"
    "fetch('/api/lines', {method: 'POST', body: 'a\\nb'}).then(function () {"
    "document.title = 'others'; }); }"
    "</script></body></html>";

test::Reply Serve(const test::ReceivedRequest& r) {
    if (r.target == "/app.html" || r.target == "/app2.html")
        return test::Reply::Ok(kApiPage);
    if (r.target.rfind("/api/", 0) == 0)
        return test::Reply::Ok("{\"ok\":true}", "application/json");
    return test::Reply::Ok("<p>other</p>");
}

class ScriptRequestsTest : public test::RecordingPageTest {
  protected:
    void TearDown() override {
        App().settings.RecordScriptRequests = 0;
        SetMessageSink(nullptr);
        RecordingPageTest::TearDown();
    }
    bool WaitForTitle(const QString& start) {
        return QTest::qWaitFor(
            [&] {
                return page_->browser()
                    ->RunScript(QStringLiteral("document.title"))
                    .toString()
                    .startsWith(start);
            },
            20000);
    }
    void Call(const char* function) {
        // Run in the page's own world, as its buttons would.
        page_->browser()->page()->runJavaScript(QString::fromLatin1(function) +
                                                QStringLiteral("()"));
    }
    std::vector<test::ReceivedRequest> ApiRequests() {
        std::vector<test::ReceivedRequest> api;
        for (const auto& r : server_.Requests()) {
            if (r.target.rfind("/api/", 0) == 0 && r.target != "/api/list" && r.method != "OPTIONS")
                api.push_back(r);
        }
        return api;
    }
    test::ProcessResult RunProgram(const QStringList& arguments) {
        return test::RunProcess(test::CopyOfBuiltProgram(dir_), arguments);
    }

    test::LoopbackHttpServer server_{Serve};
};

}  // namespace

TEST_F(ScriptRequestsTest, FetchAndXhrAreRecordedAndBothEnginesSendThemAgainByteForByte) {
    // Off by default: the page's script requests are not events.
    QCheckBox* box = page_->scriptRequestsBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->isVisible());
    page_->browser()->Navigate(server_.Url("/app.html"));
    ASSERT_TRUE(WaitForEvents(1));
    Call("json");
    ASSERT_TRUE(WaitForTitle(QStringLiteral("json")));
    QTest::qWait(300);
    EXPECT_EQ(Events().PairCount(), 1);

    // Switched on by its box, from the next page on; kept in the settings only when on.
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
    ASSERT_TRUE(box->isChecked());
    EXPECT_EQ(App().settings.RecordScriptRequests, 1);
    std::vector<std::string> messages;
    SetMessageSink([&](const std::string& text) { messages.push_back(text); });
    server_.ClearRequests();
    page_->browser()->Navigate(server_.Url("/app2.html"));
    ASSERT_TRUE(WaitForEvents(2));
    Call("json");
    auto all = [&] {
        std::string text;
        for (const auto& m : messages)
            text += Cp932ToUtf8(m) + "\n";
        return text;
    };
    ASSERT_TRUE(WaitForEvents(3)) << all();
    ASSERT_TRUE(WaitForTitle(QStringLiteral("json")));
    Call("xhrForm");
    ASSERT_TRUE(WaitForEvents(4)) << all();
    ASSERT_TRUE(WaitForTitle(QStringLiteral("form")));
    Call("xhrPut");
    ASSERT_TRUE(WaitForEvents(5)) << all();
    ASSERT_TRUE(WaitForTitle(QStringLiteral("put")));
    Call("del");
    ASSERT_TRUE(WaitForEvents(6)) << all();
    ASSERT_TRUE(WaitForTitle(QStringLiteral("deleted")));
    Call("others");
    ASSERT_TRUE(WaitForEvents(7)) << all();
    ASSERT_TRUE(WaitForTitle(QStringLiteral("others")));
    QTest::qWait(500);
    // A GET fetch, an OPTIONS, a beacon, a socket: no events.
    EXPECT_EQ(Events().PairCount(), 7);

    // Each event is what the server received: method, address, body bytes, Content-Type.
    std::vector<test::ReceivedRequest> sent = ApiRequests();
    ASSERT_EQ(sent.size(), 5u);
    const char* methods[] = {"POST", "POST", "PUT", "DELETE", "POST"};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Events().MethodOf(i + 2), methods[i]);
        EXPECT_EQ(sent[i].method, methods[i]);
        EXPECT_EQ(Events().UrlOf(i + 2), server_.Url(sent[i].target));
        EventLine row{Events().MethodOf(i + 2), Events().UrlOf(i + 2), Events().DataOf(i + 2),
                      Events().HeadersOf(i + 2)};
        EXPECT_EQ(ScriptRowBody(row), sent[i].body);
        EXPECT_EQ(RowHeaderValue(Events().HeadersOf(i + 2), "Content-Type"),
                  sent[i].Header("content-type"));
        EXPECT_EQ(RowHeaderValue(Events().HeadersOf(i + 2), "Origin"), sent[i].Header("origin"));
    }
    EXPECT_EQ(sent[0].body, "{\"name\":\"\xE9\xAB\x99\xE6\xA9\x8B\",\"n\":1}");
    EXPECT_EQ(RowHeaderValue(Events().HeadersOf(2), "X-CSRF-Token"), "t0k");
    EXPECT_EQ(sent[1].Header("content-type").rfind("multipart/form-data; boundary=", 0), 0u);
    EXPECT_NE(sent[1].body.find("\xE9\xAB\x99\xE6\xA9\x8B"), std::string::npos);
    EXPECT_EQ(RowHeaderValue(Events().HeadersOf(3), "X-Requested-With"), "XMLHttpRequest");
    EXPECT_EQ(sent[2].body, "a=%41&b=%E3%81%82");
    EXPECT_EQ(sent[3].body, "");
    // A body of several lines (and a multipart form) is kept escaped on its one line.
    EXPECT_EQ(sent[4].body, "a\nb");
    EXPECT_EQ(Events().DataOf(6), "%61%0A%62");
    EXPECT_TRUE(RowBodyIsPercentEncoded(Events().HeadersOf(6)));
    auto said = [&](const std::string& text) {
        for (const auto& m : messages) {
            if (m.find(text) != std::string::npos)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(
        said(J("スクリプトの通信を記録しました（fetch）: POST ") + server_.Url("/api/items?v=2")));
    EXPECT_TRUE(said(J("navigator.sendBeacon の送信は記録しません: ") + server_.Url("/beacon")));
    EXPECT_TRUE(said(J("WebSocket の通信は記録しません: ws://127.0.0.1:9/")));
    EXPECT_TRUE(said(J("スクリプトの通信を記録できません（fetch, method OPTIONS is not recorded）: "
                       "OPTIONS ") +
                     server_.Url("/api/opt")));

    // Saved, read back and saved again: the same bytes.
    page_->ToggleRecording();
    std::string file = dir_ / "event/api.evf";
    ASSERT_TRUE(Events().SaveEventFile(file));
    EventList again;
    ASSERT_TRUE(again.LoadEventFile(file));
    ASSERT_TRUE(again.SaveEventFile(dir_ / "event/api2.evf"));
    EXPECT_EQ(test::ReadFile(dir_ / "event/api2.evf"), test::ReadFile(file));

    // Replayed by the socket sender and by the browser engine of the real program.
    SaveConfiguration(App());
    for (bool browser : {false, true}) {
        SCOPED_TRACE(browser ? "--browser" : "socket");
        server_.ClearRequests();
        QStringList arguments{QStringLiteral("--run"), QString::fromStdString(file)};
        if (browser)
            arguments << QStringLiteral("--browser");
        test::ProcessResult run = RunProgram(arguments);
        EXPECT_EQ(run.code, 0) << run.out << run.err;
        std::vector<test::ReceivedRequest> replayed = ApiRequests();
        ASSERT_EQ(replayed.size(), 5u) << run.out;
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(replayed[i].method, sent[i].method);
            EXPECT_EQ(replayed[i].target, sent[i].target);
            EXPECT_EQ(replayed[i].body, sent[i].body);
            EXPECT_EQ(replayed[i].Header("content-type"), sent[i].Header("content-type"));
            EXPECT_EQ(replayed[i].Header("x-csrf-token"), sent[i].Header("x-csrf-token"));
            EXPECT_EQ(replayed[i].Header("x-requested-with"), sent[i].Header("x-requested-with"));
        }
        if (browser) {
            EXPECT_NE(run.out.find(" PUT " + server_.Url("/api/items/7") + " answered 200 OK"),
                      std::string::npos)
                << run.out;
        }
    }

    // The setting is written only when on.
    IniDocument ini;
    ini.Load(App().configPath);
    EXPECT_EQ(ini.GetString("CONFIG", "RecordScriptRequests", "", 8), "1");
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
    EXPECT_EQ(App().settings.RecordScriptRequests, 0);
    SaveConfiguration(App());
    ini.Load(App().configPath);
    EXPECT_EQ(ini.GetString("CONFIG", "RecordScriptRequests", "absent", 8), "absent");
}

}  // namespace quillrun
