// The Record page with the real browser engine against the loopback server: what a user's
// browsing records.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <cstring>
#include <set>
#include <thread>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/recording/event_list.h"
#include "core/replay/form_action.h"
#include "core/skin/skin_geometry.h"
#include "core/web/form_encoding.h"
#include "core/web/url_encoding.h"
#include "gui/app/browser_dialog_closer.h"
#include "gui/app/main_window.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"
#include "gui/skin/skin.h"
#include "tests/gui/gui_program_test.h"
#include "tests/gui/recording/recording_page_test.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

std::string Page(const std::string& body, const std::string& charset = "UTF-8") {
    return "<html><head><meta charset=\"" + charset + "\"><title>t</title></head><body>" + body +
           "</body></html>";
}

test::Reply Serve(const test::ReceivedRequest& r) {
    std::string path = r.target.substr(0, r.target.find('?'));
    if (path == "/index.html")
        return test::Reply::Ok(Page("<a id=l href=\"/a.html\">a</a>"));
    if (path == "/get.html") {
        return test::Reply::Ok(
            Page("<form action=\"/search\"><input name=q value=\"abc\">"
                 "<button id=go>go</button></form>"));
    }
    if (path == "/post.html") {
        return test::Reply::Ok(
            Page("<form method=post action=\"/post.cgi\"><input name=a value=\"1 2\">"
                 "<input name=j value=\"\xE3\x81\x82\"><button id=go name=btn value=ok>go"
                 "</button></form>"));
    }
    if (path == "/sjis.html") {
        return test::Reply::Ok(Page("<form method=post action=\"/post.cgi\"><input name=j "
                                    "value=\"\x82\xA0\x95\x5C\"><button id=go>go</button></form>",
                                    "Shift_JIS"),
                               "text/html; charset=Shift_JIS");
    }
    if (path == "/multi.html") {
        return test::Reply::Ok(
            Page("<form method=post enctype=\"multipart/form-data\" action=\"/up.cgi\">"
                 "<input name=t value=\"x y\"><input type=file name=f id=f>"
                 "<button id=go>go</button></form><script>"
                 "const dt = new DataTransfer();"
                 "dt.items.add(new File(['file\\u0000body'], 'a.txt', {type: 'text/plain'}));"
                 "document.getElementById('f').files = dt.files;</script>"));
    }
    if (path == "/script.html") {
        return test::Reply::Ok(
            Page("<form id=f method=post action=\"/post.cgi\">"
                 "<input name=s value=\"by script\"></form>"));
    }
    if (path == "/postq.html") {
        return test::Reply::Ok(
            Page("<form method=post action=\"/result?done=1\">"
                 "<input name=a value=1><button id=go>go</button></form>"));
    }
    if (path == "/frames.html") {
        return test::Reply::Ok(Page("<p>top</p><iframe src=\"/frame-form.html\"></iframe>"));
    }
    if (path == "/frame-form.html") {
        return test::Reply::Ok(
            Page("<form method=post action=\"/frame-post.cgi\">"
                 "<input name=f value=in-frame><button id=go>go</button>"
                 "</form>"));
    }
    if (path == "/blank.html") {
        return test::Reply::Ok(Page("<a id=l target=_blank href=\"/popup.html\">pop</a>"));
    }
    if (path == "/slow.html") {
        test::Reply reply = test::Reply::Ok(Page("<p>slow</p>"));
        reply.delayMilliseconds = 4000;
        return reply;
    }
    if (path == "/formdata.html") {
        return test::Reply::Ok(
            Page("<form method=post action=\"/p.cgi\"><input name=a value=1></form>"
                 "<button id=fd onclick=\"new FormData(document.forms[0])\">x</button>"
                 "<a id=l href=\"/next.html\">next</a>"));
    }
    if (path == "/forge.html")
        return test::Reply::Ok(Page("<input name=q><iframe src=\"/forger.html\"></iframe>"));
    if (path == "/forger.html") {
        // The page's own script imitates the reports that frames pass up.
        return test::Reply::Ok(
            Page("<script>setTimeout(function () {"
                 "parent.postMessage({__quillrunCapture: '{\"frameLoaded\":true}', nonce: 'n1',"
                 " mac: 'ab'}, '*');"
                 "parent.postMessage({__quillrunCapture: '{\"frameLoaded\":true}'}, '*');"
                 "console.info('quillrun-frame-report n1 ab {\"frameLoaded\":true}');"
                 "window.dispatchEvent(new Event('load'));"
                 "}, 3000)</script>"));
    }
    if (path == "/plain.html") {
        return test::Reply::Ok(
            Page("<form method=post enctype=\"text/plain\" action=\"/plain.cgi\">"
                 "<input name=a value=\"x y\"><textarea name=t>line1\nline2</textarea>"
                 "<button id=go>go</button></form>"));
    }
    if (path == "/spy.html") {
        // A page that frames another origin's login form and listens for what frames post.
        std::string other =
            "http://localhost:" + r.Header("host").substr(r.Header("host").find(':') + 1);
        return test::Reply::Ok(
            Page("<script>window.got = [];"
                 "addEventListener('message', function (e) {"
                 "  got.push(JSON.stringify(e.data)); document.title = 'got ' + got.length; });"
                 "</script><iframe src=\"" +
                 other + "/login-frame.html\"></iframe>"));
    }
    if (path == "/login-frame.html") {
        return test::Reply::Ok(
            Page("<form id=f method=post action=\"/login.cgi\"><input name=user value=me>"
                 "<input type=password name=pass value=secret1></form>"
                 "<script>addEventListener('load', function () {"
                 "  setTimeout(function () { document.getElementById('f').requestSubmit(); }, 300);"
                 "});</script>"));
    }
    if (path == "/login-form.html") {
        return test::Reply::Ok(
            Page("<form method=post action=\"/login\"><input type=hidden name=csrf value=t1>"
                 "<input name=user value=me><button id=go>go</button></form>"));
    }
    if (path == "/login" || path == "/find") {
        test::Reply reply;
        reply.raw = std::string("HTTP/1.0 ") + (path == "/login" ? "302" : "303") +
                    " Found\r\nLocation: /account\r\nContent-Length: 0\r\n\r\n";
        return reply;
    }
    if (path == "/find.html") {
        return test::Reply::Ok(
            Page("<form action=\"/find\"><input name=q value=\"a b\">"
                 "<button id=go>go</button></form>"));
    }
    if (path == "/order.html") {
        return test::Reply::Ok(
            Page("<form method=post action=\"/order.cgi\"><input name=a value=1>"
                 "<button id=save name=act value=save>save</button><input name=z value=9></form>"
                 "<form method=post action=\"/pos.cgi\"><input name=b value=2>"
                 "<input type=image id=img name=pos src=\"/img.png\" width=40 height=30>"
                 "<input name=c value=3></form>"));
    }
    if (path == "/links.html") {
        return test::Reply::Ok(
            Page("<a id=frag href=\"/p.html#s\">f</a> <a id=exact "
                 "href=\"/exact.html?q=a%7Eb%41%2f%2F\">e</a>"));
    }
    if (path == "/getform-then-formdata.html") {
        return test::Reply::Ok(
            Page("<form action=\"/page2.html\"><input name=q value=1>"
                 "<button id=go>go</button></form>"));
    }
    if (path == "/page2.html") {
        return test::Reply::Ok(
            Page("<form method=post action=\"/p.cgi\"><input name=a value=1></form>"
                 "<a id=l href=\"/page3.html\">3</a><script>addEventListener('load', function "
                 "() { setTimeout(function () { new FormData(document.forms[0]); "
                 "document.title = 'built'; }, 1200); });</script>"));
    }
    if (path == "/enc.cgi") {
        // The answer to a submission is the same form again, so that the next one follows.
        std::string page = r.target.substr(r.target.find("?p=") + 3);
        test::ReceivedRequest again = r;
        again.target = page;
        return Serve(again);
    }
    if (path.rfind("/enc-", 0) == 0) {
        // A form per charset, and forms whose accept-charset names another.
        std::string charset = path == "/enc-sjis.html" || path == "/enc-accept-euc.html"
                                  ? "Shift_JIS"
                              : path == "/enc-euc.html" ? "EUC-JP"
                                                        : "UTF-8";
        std::string accept = path == "/enc-accept-sjis.html"  ? " accept-charset=\"Shift_JIS\""
                             : path == "/enc-accept-euc.html" ? " accept-charset=\"EUC-JP\""
                                                              : "";
        return test::Reply::Ok(
            Page("<form method=post action=\"/enc.cgi?p=" + path + "\"" + accept +
                     "><textarea name=t id=t></textarea>"
                     "<button id=go>go</button></form>",
                 charset),
            "text/html; charset=" + charset);
    }
    if (path == "/alert.html")
        return test::Reply::Ok(Page("<script>alert('hello')</script>"));
    return test::Reply::Ok(Page("<p>page " + path + "</p>"));
}

class RecordPageBrowserTest : public test::RecordingPageTest {
  protected:
    void Go(const std::string& path) { page_->browser()->Navigate(server_.Url(path)); }
    void Click(const char* id) {
        page_->browser()->RunScript(
            QStringLiteral("document.getElementById('%1').click()").arg(QString::fromLatin1(id)));
    }
    std::string Event(int pair) {
        return Events().MethodOf(pair) + "|" + Events().UrlOf(pair) + "|" + Events().DataOf(pair);
    }
    std::string Url(const std::string& path) { return server_.Url(path); }
    test::ReceivedRequest LastRequestTo(const std::string& path) {
        test::ReceivedRequest found;
        for (const auto& r : server_.Requests()) {
            if (r.target.rfind(path, 0) == 0)
                found = r;
        }
        return found;
    }

    test::LoopbackHttpServer server_{Serve};
};

}  // namespace

TEST_F(RecordPageBrowserTest, TypedAddressLinksAndGetFormsAndTheStopStartRule) {
    page_->addressBox()->setText(QString::fromStdString(Url("/index.html")));
    page_->OnAddressEnter();
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(Event(0), "URL|" + Url("/index.html") + "|");
    EXPECT_EQ(page_->addressBox()->text().toStdString(), Url("/index.html"));

    Go("/get.html");
    ASSERT_TRUE(WaitForEvents(2));
    Click("go");
    ASSERT_TRUE(WaitForEvents(3));
    EXPECT_EQ(Event(2), "GET|" + Url("/search") + "|q=abc");
    EXPECT_EQ(page_->addressBox()->text().toStdString(), Url("/search?q=abc"));

    Go("/empty.html?");
    ASSERT_TRUE(WaitForEvents(4));
    EXPECT_EQ(Event(3), "URL|" + Url("/empty.html") + "|");

    // The same page again records nothing; after stop and start it is recorded again.
    page_->browser()->Refresh();
    QTest::qWait(1500);
    EXPECT_EQ(Events().PairCount(), 4);
    page_->ToggleRecording();
    EXPECT_EQ(Events().RowCount(), 10);  // four events and the empty pair
    page_->ToggleRecording();
    page_->browser()->Refresh();
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(Event(0), "URL|" + Url("/empty.html") + "|");
}

TEST_F(RecordPageBrowserTest, PostFormsRecordTheBodyTheServerReceived) {
    Go("/post.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("go");
    ASSERT_TRUE(WaitForEvents(2));
    test::ReceivedRequest utf8 = LastRequestTo("/post.cgi");
    EXPECT_EQ(utf8.body, "a=1+2&j=%E3%81%82&btn=ok");
    EXPECT_EQ(Event(1), "POST|" + Url("/post.cgi") + "|" + utf8.body);

    Go("/sjis.html");
    ASSERT_TRUE(WaitForEvents(3));
    Click("go");
    ASSERT_TRUE(WaitForEvents(4));
    test::ReceivedRequest sjis = LastRequestTo("/post.cgi");
    EXPECT_EQ(sjis.body, "j=%82%A0%95%5C");
    EXPECT_EQ(Event(3), "POST|" + Url("/post.cgi") + "|" + sjis.body);

    Go("/script.html");
    ASSERT_TRUE(WaitForEvents(5));
    page_->browser()->RunScript(QStringLiteral("document.getElementById('f').submit()"));
    ASSERT_TRUE(WaitForEvents(6));
    EXPECT_EQ(Event(5), "POST|" + Url("/post.cgi") + "|s=by+script");
    EXPECT_EQ(LastRequestTo("/post.cgi").body, "s=by+script");

    // A POST to an action with a query keeps its body.
    Go("/postq.html");
    ASSERT_TRUE(WaitForEvents(7));
    Click("go");
    ASSERT_TRUE(WaitForEvents(8));
    EXPECT_EQ(Event(7), "POST|" + Url("/result?done=1") + "|a=1");
}

// Every character of JIS X 0208 with the NEC and IBM rows, JIS X 0212 and U+0080-U+00FF.
std::vector<std::string> CharactersOfTheJapaneseCharsets() {
    std::set<std::string> found;
    auto take = [&](const char* from, const std::string& bytes) {
        std::string utf8 = ConvertCharset("UTF-8", from, bytes, "");
        if (utf8.empty() || utf8 == "?")
            return;
        unsigned char lead = static_cast<unsigned char>(utf8[0]);
        if (lead == 0xEE || (lead == 0xEF && static_cast<unsigned char>(utf8[1]) < 0xA4))
            return;  // the private use area: the user-defined rows
        found.insert(utf8);
    };
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail != 0x7F)
                take("CP932", std::string{static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    for (int row = 0xA1; row <= 0xFE; ++row) {
        for (int cell = 0xA1; cell <= 0xFE; ++cell) {
            take("EUC-JP", std::string{static_cast<char>(row), static_cast<char>(cell)});
            take("EUC-JP", std::string{'\x8F', static_cast<char>(row), static_cast<char>(cell)});
        }
    }
    for (int latin = 0x80; latin <= 0xFF; ++latin)
        take("ISO-8859-1", std::string(1, static_cast<char>(latin)));
    return std::vector<std::string>(found.begin(), found.end());
}

TEST_F(RecordPageBrowserTest, FormBodiesAreTheEnginesBytesForEveryJapaneseCharacter) {
    std::vector<std::string> characters = CharactersOfTheJapaneseCharsets();
    ASSERT_GT(characters.size(), 12000u);
    int events = 0;
    struct Form {
        const char* page;
        const char* charset;  // the charset the form is sent in
    };
    for (const Form& form :
         {Form{"/enc-sjis.html", "CP932"}, Form{"/enc-euc.html", "EUC-JP-MS"},
          Form{"/enc-utf8.html", "UTF-8"}, Form{"/enc-accept-sjis.html", "CP932"},
          Form{"/enc-accept-euc.html", "EUC-JP-MS"}}) {
        Go(form.page);
        ASSERT_TRUE(WaitForEvents(++events)) << form.page;
        int mismatches = 0;
        std::size_t from = 0;
        while (from < characters.size()) {
            // As many characters as fit an event's data, by the size the encoding gives.
            std::string chunk;
            std::size_t size = 0, to = from;
            for (; to < characters.size(); ++to) {
                std::string encoded;
                for (unsigned char c : EncodeFormText(characters[to], form.charset))
                    encoded += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : "%XX";
                if (size + encoded.size() + 20 > 28000)
                    break;
                size += encoded.size();
                chunk += characters[to];
            }
            if (std::strstr(form.page, "accept") != nullptr) {
                // The form's other charset is made ready while the page is read, as a user
                // fills in a form.
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] {
                        return !page_->browser()
                                    ->RunScript(QStringLiteral("window.__quillrunEncoderReady"))
                                    .isNull();
                    },
                    5000));
            }
            QString json =
                QString::fromUtf8(QJsonDocument(QJsonArray{QString::fromUtf8(chunk.c_str())})
                                      .toJson(QJsonDocument::Compact));
            page_->browser()->RunScript(
                QStringLiteral("document.getElementById('t').value = %1[0];").arg(json));
            Click("go");
            ASSERT_TRUE(WaitForEvents(++events)) << form.page;
            std::string sent = LastRequestTo("/enc.cgi").body;
            std::string recorded = Events().DataOf(events - 1);
            if (sent != recorded) {
                ++mismatches;
                std::size_t at = 0;
                while (at < sent.size() && at < recorded.size() && sent[at] == recorded[at])
                    ++at;
                ADD_FAILURE() << form.page << " characters from " << from << ": sent "
                              << sent.substr(at >= 20 ? at - 20 : 0, 60) << " recorded "
                              << recorded.substr(at >= 20 ? at - 20 : 0, 60);
            }
            from = to;
        }
        EXPECT_EQ(mismatches, 0) << form.page;
    }
}

TEST_F(RecordPageBrowserTest, AStoppedLoadIsNoCompletedDocument) {
    // A page whose answer comes in part and then stalls: the engine has begun to show it.
    std::uint16_t port = 0;
    int listener = test::ListenOnLoopback(port);
    ASSERT_GE(listener, 0);
    std::thread server([listener] {
        // The engine may open a connection ahead that never asks: every one is taken, the one
        // that asks gets the part.
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        while (std::chrono::steady_clock::now() < until) {
            if (poll(fds.data(), fds.size(), 100) <= 0)
                continue;
            for (std::size_t k = 0; k < fds.size(); ++k) {
                if (!(fds[k].revents & POLLIN))
                    continue;
                if (k == 0) {
                    fds.push_back({accept(listener, nullptr, nullptr), POLLIN, 0});
                    continue;
                }
                char buffer[4096];
                if (read(fds[k].fd, buffer, sizeof buffer) <= 0) {
                    fds[k].events = 0;
                    continue;
                }
                std::string head =
                    "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body><p>part" +
                    std::string(4096, ' ');
                (void)!write(fds[k].fd, head.data(), head.size());
                fds[k].events = 0;
            }
        }
        for (std::size_t k = 1; k < fds.size(); ++k)
            close(fds[k].fd);
    });
    Go("/index.html");
    ASSERT_TRUE(WaitForEvents(1));
    std::vector<std::string> seen;
    page_->browser()->Navigate("http://127.0.0.1:" + std::to_string(port) + "/stall.html");
    QTest::qWait(2500);
    window_->SelectTab(kTabBrowse);  // its stop button; the recording stays on
    QTest::mouseClick(page_, Qt::LeftButton, Qt::NoModifier, QPoint(89 * 2 + 40, 15));
    // Said at once; the address box's one-second tick puts the address back later on.
    EXPECT_EQ(page_->addressBox()->text(),
              QString::fromUtf8("Stoped.. ページ読み込みを中止しました"));
    QTest::qWait(1800);
    EXPECT_EQ(Events().PairCount(), 1) << Event(Events().PairCount() - 1);
    EXPECT_FALSE(page_->browser()->LastLoadSucceeded());
    // The next load completes as ever.
    Go("/a.html");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(Event(1), "URL|" + Url("/a.html") + "|");
    server.join();
    close(listener);
}

// The encoder the socket replay uses (it has no engine) against the engine's own, over every
// Japanese character, in Shift_JIS and EUC-JP pages.
TEST_F(RecordPageBrowserTest, TheProgramsOwnFormEncoderWritesTheEnginesBytes) {
    std::vector<std::string> characters = CharactersOfTheJapaneseCharsets();
    for (const char* page : {"/enc-sjis.html", "/enc-euc.html"}) {
        const char* charset = std::strstr(page, "sjis") ? "CP932" : "EUC-JP-MS";
        Go(page);
        QTest::qWait(1500);
        QJsonArray all;
        for (const auto& c : characters)
            all.append(QString::fromUtf8(c.c_str()));
        QString json = QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact));
        QVariant result = page_->browser()->RunScript(
            QStringLiteral("(function (list) { var a = document.createElement('a');"
                           " return list.map(function (t) { a.href = 'http://x/?' + t;"
                           " var q = a.href; return q.slice(q.indexOf('?') + 1); }); })(%1)")
                .arg(json),
            60000);
        QStringList got = result.toStringList();
        ASSERT_EQ(got.size(), static_cast<int>(characters.size()));
        int differences = 0;
        for (std::size_t k = 0; k < characters.size(); ++k) {
            std::string engine = got[static_cast<int>(k)].toStdString();
            UrlDecode(engine, 0, true);
            std::string ours = EncodeFormText(characters[k], charset);
            if (engine != ours) {
                std::string hexE, hexO;
                char b[8];
                for (unsigned char x : engine) {
                    std::snprintf(b, sizeof b, "%02X", x);
                    hexE += b;
                }
                for (unsigned char x : ours) {
                    std::snprintf(b, sizeof b, "%02X", x);
                    hexO += b;
                }
                if (++differences <= 10)
                    ADD_FAILURE() << charset << " " << characters[k] << ": engine " << hexE
                                  << ", ours " << hexO;
            }
        }
        EXPECT_EQ(differences, 0) << charset;
    }
}

TEST_F(RecordPageBrowserTest, AFormInAFrameIsRecordedAtItsOwnAction) {
    Go("/frames.html");
    ASSERT_TRUE(WaitForEvents(1));
    QTest::qWait(500);
    EXPECT_EQ(Events().PairCount(), 1);  // the frame's completion repeats the page
    page_->browser()->RunScript(QStringLiteral(
        "document.querySelector('iframe').contentDocument.getElementById('go').click()"));
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(LastRequestTo("/frame-post.cgi").body, "f=in-frame");
    EXPECT_EQ(Event(1), "POST|" + Url("/frame-post.cgi") + "|f=in-frame");
}

TEST_F(RecordPageBrowserTest, FormsAnsweredByARedirectAreRecordedAsTheirRequest) {
    Go("/login-form.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("go");
    ASSERT_TRUE(WaitForEvents(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LastRequestTo("/account").method == "GET"; }, 5000));
    EXPECT_EQ(Event(1), "POST|" + Url("/login") + "|csrf=t1&user=me");
    QTest::qWait(500);
    EXPECT_EQ(Events().PairCount(), 2);  // the page the redirect led to is not a second event

    Go("/find.html");
    ASSERT_TRUE(WaitForEvents(3));
    Click("go");
    ASSERT_TRUE(WaitForEvents(4));
    EXPECT_EQ(Event(3), "GET|" + Url("/find") + "|q=a+b");
    EXPECT_EQ(page_->addressBox()->text().toStdString(), Url("/account"));
}

TEST_F(RecordPageBrowserTest, TheSubmitterIsSentAtItsPlaceAndAnImageButtonWithItsPoint) {
    Go("/order.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("save");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(LastRequestTo("/order.cgi").body, "a=1&act=save&z=9");
    EXPECT_EQ(Event(1), "POST|" + Url("/order.cgi") + "|a=1&act=save&z=9");

    Go("/order.html");
    ASSERT_TRUE(WaitForEvents(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->browser()->Busy(); }, 5000));
    // A real click on the image, 7 and 5 pixels into it.
    QVariant box = page_->browser()->RunScript(QStringLiteral(
        "(function () { var r = document.getElementById('img').getBoundingClientRect();"
        " return [r.left, r.top]; })()"));
    QVariantList corner = box.toList();
    ASSERT_EQ(corner.size(), 2);
    QWidget* target = page_->browser()->view()->focusProxy();
    ASSERT_NE(target, nullptr);
    QPoint at(static_cast<int>(corner[0].toDouble()) + 7,
              static_cast<int>(corner[1].toDouble()) + 5);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_TRUE(WaitForEvents(4));
    std::string sent = LastRequestTo("/pos.cgi").body;
    EXPECT_EQ(sent, "b=2&pos.x=7&pos.y=5&c=3");
    EXPECT_EQ(Event(3), "POST|" + Url("/pos.cgi") + "|" + sent);
}

TEST_F(RecordPageBrowserTest, FragmentsAreNeverRecordedAndEscapesStayAsWritten) {
    Go("/links.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("frag");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(Event(1), "URL|" + Url("/p.html") + "|");
    Go("/links.html");
    ASSERT_TRUE(WaitForEvents(3));
    Click("exact");
    ASSERT_TRUE(WaitForEvents(4));
    EXPECT_EQ(LastRequestTo("/exact.html").target, "/exact.html?q=a%7Eb%41%2f%2F");
    EXPECT_EQ(Event(3), "GET|" + Url("/exact.html") + "|q=a%7Eb%41%2f%2F");
}

TEST_F(RecordPageBrowserTest, AScriptsFormDataAfterAGetFormNeverBecomesABody) {
    Go("/getform-then-formdata.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("go");
    ASSERT_TRUE(WaitForEvents(2));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return page_->browser()->RunScript(QStringLiteral("document.title")).toString() ==
                   QStringLiteral("built");
        },
        5000));
    Click("l");
    ASSERT_TRUE(WaitForEvents(3));
    EXPECT_EQ(Event(2), "URL|" + Url("/page3.html") + "|");
    EXPECT_EQ(LastRequestTo("/page3.html").method, "GET");
}

TEST_F(RecordPageBrowserTest, APostThisProgramSendsIsRecordedWithItsBody) {
    page_->browser()->NavigateWithPost(Url("/sent.cgi"), "k=v%20w",
                                       "Content-Type: application/x-www-form-urlencoded\r\n");
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(LastRequestTo("/sent.cgi").body, "k=v%20w");
    EXPECT_EQ(Event(0), "POST|" + Url("/sent.cgi") + "|k=v%20w");
}

TEST_F(RecordPageBrowserTest, AFramedFormOfAnotherOriginIsRecordedButNeverReachesTheFramingPage) {
    Go("/spy.html");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(LastRequestTo("/login.cgi").body, "user=me&pass=secret1");
    std::string other = Url("/login.cgi").replace(7, 9, "localhost");
    EXPECT_EQ(Event(1), "POST|" + other + "|user=me&pass=secret1");
    QTest::qWait(500);
    // The top page's listener heard nothing of the frame's entries.
    EXPECT_EQ(page_->browser()->RunScript(QStringLiteral("document.title")).toString(),
              QStringLiteral("t"));
}

TEST_F(RecordPageBrowserTest, ATextPlainFormIsRecordedOnOneLineAndTheListSurvivesItsFile) {
    Go("/plain.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("go");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(LastRequestTo("/plain.cgi").body, "a=x y\r\nt=line1\r\nline2\r\n");
    EXPECT_EQ(Event(1), "POST|" + Url("/plain.cgi") + "|a=x y%0D%0At=line1%0D%0Aline2%0D%0A");
    Go("/index.html");
    ASSERT_TRUE(WaitForEvents(3));
    // Saved and read back, the events after it are all there.
    ASSERT_TRUE(Events().SaveEventFile(dir_ / "event/plain.evf"));
    EventList again;
    ASSERT_TRUE(again.LoadEventFile(dir_ / "event/plain.evf"));
    ASSERT_GE(again.PairCount(), 3);
    EXPECT_EQ(again.DataOf(1), Events().DataOf(1));
    EXPECT_EQ(again.UrlOf(2), Url("/index.html"));
}

TEST_F(RecordPageBrowserTest, MultipartFormsRecordTheWholeBodyPercentEncoded) {
    Go("/multi.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("go");
    ASSERT_TRUE(WaitForEvents(2));
    std::string data = Events().DataOf(1);
    EXPECT_EQ(data.substr(0, 6), "%2D%2D");
    EXPECT_NE(data.find(kMultipartMarker), std::string::npos);
    UrlDecode(data, 0, true);

    // The same bytes as the server received, but for the boundary: the engine does not tell
    // its own, so the body carries one of ours.
    std::string received = LastRequestTo("/up.cgi").body;
    std::string type = LastRequestTo("/up.cgi").Header("content-type");
    std::string theirs = type.substr(type.find("boundary=") + 9);
    std::string ours = data.substr(2, data.find("\r\n") - 2);
    std::size_t at = 0;
    while ((at = received.find(theirs, at)) != std::string::npos) {
        received.replace(at, theirs.size(), ours);
        at += ours.size();
    }
    EXPECT_EQ(data, received);
    EXPECT_NE(data.find(std::string("file\0body", 9)), std::string::npos);
}

TEST_F(RecordPageBrowserTest, NewWindowsNeverOpenAndAlertsAreBrowserBoxes) {
    Go("/blank.html");
    ASSERT_TRUE(WaitForEvents(1));
    std::vector<std::string> messages;
    SetMessageSink([&](const std::string& text) { messages.push_back(text); });
    Click("l");
    QTest::qWait(1500);
    SetMessageSink(nullptr);
    EXPECT_EQ(Events().PairCount(), 1);
    // The click did not do nothing silently.
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(),
              J("新しいウィンドウは開きません（リンクまたはフォームが新しいウィンド"
                "ウを指定しています）: ") +
                  Url("/popup.html"));
    for (const auto& r : server_.Requests())
        EXPECT_EQ(r.target.find("/popup.html"), std::string::npos);
    // Nor does the link open in the browser's own window instead.
    EXPECT_EQ(page_->browser()->LocationURL(), Url("/blank.html"));

    // The alert runs its own message loop, as a real box does. With the closer off it stays;
    // switched on, the closer's next tick dismisses it and the page completes.
    App().settings.AutoIEClose = 0;
    QString seenTitle;
    bool stillThere = false;
    int ticksSeen = 0;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* box = FindBrowserDialog();
        if (box == nullptr)
            return;
        seenTitle = box->windowTitle();
        if (++ticksSeen == 12) {  // more than a second with the closer off: still there
            stillThere = true;
            App().settings.AutoIEClose = 1;
        }
    });
    poll.start();
    Go("/alert.html");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(Event(1), "URL|" + Url("/alert.html") + "|");
    EXPECT_EQ(seenTitle, QStringLiteral("Microsoft Internet Explorer"));
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(FindBrowserDialog(), nullptr);
}

TEST_F(RecordPageBrowserTest, TheBrowsingViewsButtonsDriveTheBrowser) {
    page_->ToggleRecording();  // recording off: only browsing here
    window_->SelectTab(kTabBrowse);
    WebEngineBrowser& browser = *page_->browser();
    auto press = [&](int k) {
        QTest::mouseClick(page_, Qt::LeftButton, Qt::NoModifier, QPoint(89 * k + 40, 15));
    };
    auto settled = [&](const std::string& location) {
        return QTest::qWaitFor([&] { return !browser.Busy() && browser.LocationURL() == location; },
                               20000);
    };
    Go("/one.html");
    ASSERT_TRUE(settled(Url("/one.html")));
    Go("/two.html");
    ASSERT_TRUE(settled(Url("/two.html")));
    press(0);  // back
    ASSERT_TRUE(settled(Url("/one.html")));
    press(1);  // forward
    ASSERT_TRUE(settled(Url("/two.html")));

    server_.ClearRequests();
    press(3);  // refresh
    EXPECT_EQ(page_->addressBox()->text(), QString::fromUtf8("Loading.. 読み込んでいます"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return LastRequestTo("/two.html").method == "GET"; }, 20000));
    ASSERT_TRUE(settled(Url("/two.html")));

    press(4);  // home: the start page
    EXPECT_EQ(page_->addressBox()->text(), QString::fromUtf8("Loading.. 読み込んでいます"));
    ASSERT_TRUE(settled("about:blank"));

    Go("/slow.html");
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser.Busy(); }, 5000));
    press(2);  // stop
    EXPECT_EQ(page_->addressBox()->text(),
              QString::fromUtf8("Stoped.. ページ読み込みを中止しました"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !browser.Busy(); }, 5000));
    // The next tick of the address timer shows the location again.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !page_->addressBox()->text().startsWith(QStringLiteral("Stoped")); }, 3000));
}

TEST_F(RecordPageBrowserTest, OnlyASentFormRecordsABody) {
    Go("/formdata.html");
    ASSERT_TRUE(WaitForEvents(1));
    Click("fd");  // the page's script builds a FormData of the form and sends nothing
    QTest::qWait(500);
    EXPECT_NE(page_->addressBox()->text(), QString::fromUtf8("Loading.. 読み込んでいます"));
    Click("l");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(Event(1), "URL|" + Url("/next.html") + "|");
}

TEST_F(RecordPageBrowserTest, AFramesReportThatThePageImitatesIsIgnored) {
    Go("/forge.html");
    ASSERT_TRUE(WaitForEvents(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->browser()->Busy(); }, 20000));
    QTest::qWait(1000);  // the frame's own report of its load has come by now
    // A SET action waits for the next completed document; the page's imitation of a frame's
    // completion (three seconds after the frame loaded) must not set it off.
    ArmFormAction("submit=", "input=q:filled,click=,");
    QTest::qWait(3000);
    EXPECT_EQ(ThePendingFormAction().marker, kFormActionArmed);
    EXPECT_EQ(page_->browser()
                  ->RunScript(QStringLiteral("document.querySelector('[name=q]').value"))
                  .toString(),
              QString());
    ThePendingFormAction() = PendingFormAction();
}

}  // namespace quillrun
