// The program started with --run, as a script or a timer starts it, against the loopback server.
#include "gui/cli/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include "core/platform/clock.h"
#include "core/recording/event_line.h"
#include "tests/gui/program_process.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/token_site.h"

namespace quillrun {
namespace {

test::Reply Serve(const test::ReceivedRequest& r) {
    if (r.target.rfind("/missing", 0) == 0) {
        test::Reply reply;
        reply.raw = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        return reply;
    }
    if (r.target.rfind("/tform", 0) == 0 || r.target == "/tlogin") {
        // A login form with a token of its session, checked on the POST.
        static std::atomic<int> sessions{0};
        std::string cookie = r.Header("cookie");
        std::size_t at = cookie.find("sid=");
        int session = at == std::string::npos ? 0 : std::atoi(cookie.c_str() + at + 4);
        if (r.target == "/tlogin") {
            test::Reply reply;
            if (session != 0 && r.body == "csrf=tok" + std::to_string(session) + "&user=me")
                reply.raw =
                    "HTTP/1.0 302 Found\r\nLocation: /taccount\r\nContent-Length: 0\r\n\r\n";
            else
                reply.raw =
                    "HTTP/1.0 403 Forbidden\r\nContent-Length: 31\r\n\r\nCSRF token missing or "
                    "incorrect";
            return reply;
        }
        std::string extra;
        if (session == 0) {
            session = ++sessions;
            extra = "Set-Cookie: sid=" + std::to_string(session) + "; Path=/\r\n";
        }
        return test::Reply::Ok(
            "<form method=post action=tlogin><input type=hidden name=csrf value=tok" +
                std::to_string(session) + "><input name=user></form>",
            "text/html", extra);
    }
    if (r.target.rfind("/shop", 0) == 0) {
        // Not open until its third request.
        static std::atomic<int> asked{0};
        if (r.target.rfind("/shop-reset", 0) == 0)
            asked = 0;
        return test::Reply::Ok(++asked < 3 ? "<p>\xE5\x8F\x97\xE4\xBB\x98\xE5\x89\x8D</p>"
                                           : "<p>open</p>");
    }
    return test::Reply::Ok("fine");
}

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.MakeProgramFolders();
        program_ = test::CopyOfBuiltProgram(dir_);
        ASSERT_TRUE(QFile::exists(QString::fromStdString(program_)));
    }
    using Result = test::ProcessResult;
    Result Run(const QStringList& arguments) {
        Result result = test::RunProcess(program_, arguments);
        EXPECT_NE(result.code, -1) << "did not end";
        return result;
    }
    QString File(const std::string& name, const std::string& lines) {
        test::WriteFile(dir_ / ("event/" + name), lines);
        return QString::fromStdString(dir_ / ("event/" + name));
    }

    test::TempFolder dir_;
    std::string program_;
    test::LoopbackHttpServer server_{Serve};
};

}  // namespace

TEST_F(CommandLineTest, RunPrintsEachRowAndItsExitCodeSaysWhetherEveryRowWorked) {
    Result ok = Run({QStringLiteral("--run"),
                     File("ok.evf", "1\tGET\t" + server_.Url("/a") + "\tq=1\t\r\n2\tPOST\t" +
                                        server_.Url("/p") + "\tx=1\t\r\n3\t\t\t\t\r\n")});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_NE(ok.out.find(" GET " + server_.Url("/a") + "?q=1 HTTP/1.0 200 OK "), std::string::npos)
        << ok.out;
    EXPECT_NE(ok.out.find(" POST " + server_.Url("/p") + " HTTP/1.0 200 OK "), std::string::npos);
    EXPECT_EQ(server_.RequestCount(), 2u);

    Result missing = Run({QStringLiteral("--run"),
                          File("bad.evf", "1\tURL\t" + server_.Url("/missing") + "\t\t\r\n")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.out.find("HTTP/1.0 404 Not Found"), std::string::npos);

    Result unreadable = Run({QStringLiteral("--run"), QStringLiteral("/no/such/file.evf")});
    EXPECT_EQ(unreadable.code, 2);
    EXPECT_EQ(unreadable.err, "quillrun: cannot read /no/such/file.evf\n");
    EXPECT_EQ(Run({QStringLiteral("--run")}).code, 2);
    EXPECT_EQ(Run({QStringLiteral("--frobnicate")}).code, 2);
    Result help = Run({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--run FILE.evf"), std::string::npos);
}

TEST_F(CommandLineTest, TheDuplicatePostGuardHoldsAcrossRuns) {
    QString file = File("post.evf", "1\tPOST\t" + server_.Url("/p") + "\ta=1\t\r\n");
    for (int run = 0; run < 4; ++run)
        EXPECT_EQ(Run({QStringLiteral("--run"), file}).code, 0) << run;
    Result fifth = Run({QStringLiteral("--run"), file});
    EXPECT_EQ(fifth.code, 1);
    EXPECT_NE(fifth.out.find("refused by the duplicate-post guard"), std::string::npos);
    EXPECT_EQ(server_.RequestCount(), 4u);
}

TEST_F(CommandLineTest, RunRulesRetriesAndAJUnitReport) {
    std::string junit = dir_ / "out.xml";
    QString file = File("shop.evf", "1\tURL\t" + server_.Url("/shop") + "\t\t\r\n");
    Result run =
        Run({QStringLiteral("--run"), file, QStringLiteral("--reject"), QString::fromUtf8("受付前"),
             QStringLiteral("--status"), QStringLiteral("200"), QStringLiteral("--retry-every"),
             QStringLiteral("150"), QStringLiteral("--retry-for"), QStringLiteral("10"),
             QStringLiteral("--junit"), QString::fromStdString(junit)});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("--- try 3 "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("--- try 4 "), std::string::npos);
    EXPECT_NE(run.out.find("rule: failure: the last answer contains \"受付前\""),
              std::string::npos);
    EXPECT_EQ(server_.RequestCount(), 3u);
    // The report, read back as XML: three suites, the third without a failure.
    QFile xmlFile(QString::fromStdString(junit));
    ASSERT_TRUE(xmlFile.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&xmlFile);
    int suites = 0, failures = 0;
    QString lastSuiteFailures;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("testsuite")) {
            ++suites;
            lastSuiteFailures = xml.attributes().value(QLatin1String("failures")).toString();
            // Where and when, as the Ant schema asks: the machine's name, a time without a zone.
            char host[256] = {};
            gethostname(host, sizeof host - 1);
            EXPECT_EQ(xml.attributes().value(QLatin1String("hostname")).toString().toStdString(),
                      host[0] ? host : "localhost");
            EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$)"))
                            .match(xml.attributes().value(QLatin1String("timestamp")).toString())
                            .hasMatch());
        }
        if (xml.name() == QLatin1String("failure"))
            ++failures;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(suites, 3);
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(lastSuiteFailures, QStringLiteral("0"));

    // Without a window the rule fails: exit 1; bad options: exit 2.
    Result closed = Run({QStringLiteral("--run"),
                         File("r.evf", "1\tURL\t" + server_.Url("/shop-reset") + "\t\t\r\n"),
                         QStringLiteral("--expect"), QStringLiteral("open")});
    EXPECT_EQ(closed.code, 1) << closed.out;
    EXPECT_EQ(
        Run({QStringLiteral("--run"), file, QStringLiteral("--status"), QStringLiteral("2xx")})
            .code,
        2);
    EXPECT_EQ(Run({QStringLiteral("--run"), file, QStringLiteral("--retry-every"),
                   QStringLiteral("50"), QStringLiteral("--retry-for"), QStringLiteral("1")})
                  .code,
              2);
    EXPECT_EQ(
        Run({QStringLiteral("--run"), file, QStringLiteral("--retry-every"), QStringLiteral("200")})
            .code,
        2);
    EXPECT_EQ(Run({QStringLiteral("--expect"), QStringLiteral("x")}).code, 2);
}

TEST_F(CommandLineTest, ABrowserRunsRuleLooksAtTheFinalPagesText) {
    QString file = File("page.evf", "1\tURL\t" + server_.Url("/page") + "\t\t\r\n");
    Result found = Run({QStringLiteral("--run"), file, QStringLiteral("--browser"),
                        QStringLiteral("--expect"), QStringLiteral("fine")});
    EXPECT_EQ(found.code, 0) << found.out << found.err;
    Result rejected = Run({QStringLiteral("--run"), file, QStringLiteral("--browser"),
                           QStringLiteral("--reject"), QStringLiteral("fine")});
    EXPECT_EQ(rejected.code, 1) << rejected.out;
    EXPECT_NE(rejected.out.find("rule: failure: the last answer contains \"fine\""),
              std::string::npos);
}

TEST_F(CommandLineTest, BothEnginesGetPastATokenCheckWithFreshHiddenFields) {
    QString file = File("login.evf", "1\tURL\t" + server_.Url("/tform") + "\t\t\r\n2\tPOST\t" +
                                         server_.Url("/tlogin") + "\tcsrf=tok999&user=me\t\r\n");
    auto reachedTheAccount = [&] {
        bool account = false;
        for (const auto& r : server_.Requests())
            account = account || r.target.rfind("/taccount", 0) == 0;
        server_.ClearRequests();
        return account;
    };
    // Off: the recorded token goes, the site refuses it, and the message says what would help.
    Result off = Run({QStringLiteral("--run"), file});
    EXPECT_EQ(off.code, 1);
    EXPECT_NE(off.out.find("HTTP/1.0 403 Forbidden"), std::string::npos);
    EXPECT_NE(off.err.find("--fresh-hidden"), std::string::npos) << off.err;
    server_.ClearRequests();
    Result socket = Run({QStringLiteral("--run"), file, QStringLiteral("--fresh-hidden")});
    EXPECT_EQ(socket.code, 0) << socket.out << socket.err;
    EXPECT_NE(socket.out.find("HTTP/1.0 302 Found"), std::string::npos) << socket.out;
    EXPECT_NE(socket.out.find("    hidden field csrf refreshed"), std::string::npos);
    EXPECT_EQ(socket.out.find("tok1"), std::string::npos);  // never the value
    server_.ClearRequests();

    Result browserOff = Run({QStringLiteral("--run"), file, QStringLiteral("--browser")});
    EXPECT_FALSE(reachedTheAccount()) << browserOff.out;
    Result browser =
        Run({QStringLiteral("--run"), file, QStringLiteral("--browser"),
             QStringLiteral("--fresh-hidden"), QStringLiteral("--reject"), QStringLiteral("CSRF")});
    EXPECT_EQ(browser.code, 0) << browser.out << browser.err;
    EXPECT_TRUE(reachedTheAccount()) << browser.out;
    EXPECT_NE(browser.out.find("    hidden field csrf refreshed"), std::string::npos);
}

TEST_F(CommandLineTest, EventFilesAreExportedAsCurlCommandsAndAHarFile) {
    QString file =
        File("x.evf", "1\tURL\t" + server_.Url("/a") +
                          "\t\t\r\n2\tSET\tsubmit=Go\t"
                          "input=q:1,\t\r\n3\tGET\t" +
                          server_.Url("/s") +
                          "\tq=1\t\r\n"
                          "4\tPOST\t" +
                          server_.Url("/p") +
                          "\ta=%82%A0\t\r\n"
                          "5\tPUT\t" +
                          server_.Url("/api") + "\t{}\tcontent-type: application/json\t\r\n");
    Result curl = Run({QStringLiteral("--export-curl"), file});
    EXPECT_EQ(curl.code, 0) << curl.err;
    EXPECT_EQ(std::count(curl.out.begin(), curl.out.end(), '\n'), 5);
    EXPECT_NE(curl.out.find("# row 2 (SET): not a request, left out"), std::string::npos);
    EXPECT_NE(curl.out.find("--data-binary $'a=%82%A0' $'" + server_.Url("/p") + "'"),
              std::string::npos)
        << curl.out;

    std::string har = dir_ / "x.har";
    // The HAR holds the cookies and bodies of a session: the user's alone, whatever the umask.
    mode_t umaskBefore = ::umask(0);
    Result exported = Run(
        {QStringLiteral("--export-har"), file, QStringLiteral("-o"), QString::fromStdString(har)});
    ::umask(umaskBefore);
    EXPECT_EQ(exported.code, 0) << exported.err;
    struct stat made {};
    ASSERT_EQ(::stat(har.c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0600u);
    QFile harFile(QString::fromStdString(har));
    ASSERT_TRUE(harFile.open(QIODevice::ReadOnly));
    QJsonParseError error;
    QJsonObject log = QJsonDocument::fromJson(harFile.readAll(), &error).object()["log"].toObject();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(log["version"].toString(), QStringLiteral("1.2"));
    QJsonArray entries = log["entries"].toArray();
    ASSERT_EQ(entries.size(), 4);
    // A script row's header as the page wrote it names the body's type.
    EXPECT_EQ(entries[3].toObject()["request"].toObject()["postData"].toObject()["mimeType"],
              QStringLiteral("application/json"));
    QJsonObject post = entries[2].toObject()["request"].toObject();
    EXPECT_EQ(post["method"].toString(), QStringLiteral("POST"));
    EXPECT_EQ(post["url"].toString().toStdString(), server_.Url("/p"));
    EXPECT_EQ(post["postData"].toObject()["text"].toString(), QStringLiteral("a=%82%A0"));
    // ISO 8601 with the local offset, and the HAR 1.2 schema where a validator is installed.
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"))
                    .match(entries[0].toObject()["startedDateTime"].toString())
                    .hasMatch())
        << entries[0].toObject()["startedDateTime"].toString().toStdString();
    int valid =
        std::system(("python3 " QUILLRUN_TEST_SUPPORT_DIR
                     "validate_json.py " QUILLRUN_TEST_SUPPORT_DIR "schemas/har-1.2.schema.json " +
                     har)
                        .c_str());
    if (WIFEXITED(valid) && WEXITSTATUS(valid) != 77) {
        EXPECT_EQ(WEXITSTATUS(valid), 0);
    }
    EXPECT_EQ(Run({QStringLiteral("--export-har"), file}).code, 2);  // -o is needed
}

TEST_F(CommandLineTest, ExportsRefuseTheRowsRunRefusesAndSayWhich) {
    std::string good = "1\tURL\t" + server_.Url("/a") + "\t\t\r\n";
    std::vector<std::string> refusedRows = {
        "2\tGET\t" + server_.Url("/s") + "\tq=1\rX\t\r\n",  // a bare CR
        "2\tPOST\t" + server_.Url("/p") +
            "\ta=\x0b"
            "1\t\r\n",  // a VT
        "2\tPUT\t" + server_.Url("/api") + "\t{}\tTransfer-Encoding: chunked\t\r\n"};
    for (const std::string& row : refusedRows) {
        QString file = File("r.evf", good + row + "3\t\t\t\t\r\n");
        Result curl = Run({QStringLiteral("--export-curl"), file});
        EXPECT_EQ(curl.code, 1) << row;
        EXPECT_EQ(std::count(curl.out.begin(), curl.out.end(), '\n'), 1) << curl.out;
        EXPECT_NE(curl.err.find("quillrun: row 2 not exported: "), std::string::npos) << curl.err;
        EXPECT_EQ(curl.out.find('\x0b'), std::string::npos);
        std::string har = dir_ / "r.har";
        Result exported = Run({QStringLiteral("--export-har"), file, QStringLiteral("-o"),
                               QString::fromStdString(har)});
        EXPECT_EQ(exported.code, 1) << row;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(har)));
        QFile::remove(QString::fromStdString(har));
        Result run = Run({QStringLiteral("--run"), file});
        EXPECT_NE(run.code, 0) << row;  // as --run refuses it
    }
}

TEST_F(CommandLineTest, AHarOfABrowsersSessionImportsItsPagesFormPostsAndScriptRequests) {
    // As a browser's "save all as HAR" writes it (its own _resourceType names each request).
    auto entry = [](const std::string& type, const std::string& method, const std::string& url,
                    const std::string& post = "", const std::string& headers = "") {
        return "{\"_resourceType\":\"" + type + "\",\"request\":{\"method\":\"" + method +
               "\",\"url\":\"" + url + "\",\"httpVersion\":\"HTTP/1.1\",\"headers\":[" + headers +
               "],\"queryString\":[],\"cookies\":[],\"headersSize\":-1,\"bodySize\":0" + post +
               "},\"response\":{\"status\":200}}";
    };
    auto header = [](const std::string& name, const std::string& value) {
        return "{\"name\":\"" + name + "\",\"value\":\"" + value + "\"}";
    };
    std::string origin = server_.Url("/").substr(0, server_.Url("/").size() - 1);
    std::string har =
        "{\"log\":{\"version\":\"1.2\",\"creator\":{\"name\":\"WebInspector\",\"version\":\"537."
        "36\"},"
        "\"entries\":[" +
        entry("document", "GET", server_.Url("/a#top")) + "," +
        entry("image", "GET", server_.Url("/logo.png")) + "," +
        entry("document", "GET", server_.Url("/s?q=1")) + "," +
        entry("document", "POST", server_.Url("/login"),
              ",\"postData\":{\"mimeType\":\"application/x-www-form-urlencoded\","
              "\"text\":\"user=me&pass=%82%A0\"}") +
        "," +
        entry("fetch", "POST", server_.Url("/api?v=2"),
              ",\"postData\":{\"mimeType\":\"application/json\",\"text\":\"{\\\"a\\\":1}\"}",
              header(":authority", "127.0.0.1") + "," + header("content-type", "application/json") +
                  "," + header("x-csrf-token", "t0k") + "," + header("origin", origin) + "," +
                  header("cookie", "sid=1") + "," + header("accept", "*/*")) +
        "," +
        entry("xhr", "DELETE", server_.Url("/api/items/8"), "",
              header("Referer", server_.Url("/app.html"))) +
        "," +
        entry("fetch", "POST", server_.Url("/api/bin"),
              ",\"postData\":{\"mimeType\":\"application/octet-stream\",\"encoding\":\"base64\","
              "\"text\":\"AAEKAw==\"}") +
        "," + entry("fetch", "OPTIONS", server_.Url("/api")) + "," +
        entry("document", "GET", "http://elsewhere.example/x") + "]}}";
    test::WriteFile(dir_ / "s.har", har);
    std::string evf = dir_ / "event/s.evf";
    Result imported = Run({QStringLiteral("--import-har"), QString::fromStdString(dir_ / "s.har"),
                           QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                           QStringLiteral("-o"), QString::fromStdString(evf)});
    EXPECT_EQ(imported.code, 0) << imported.err;
    EXPECT_EQ(imported.out, "6 events\n");
    EXPECT_NE(imported.err.find("entry 2 (GET " + server_.Url("/logo.png") +
                                ") left out: a image request, not a page"),
              std::string::npos)
        << imported.err;
    EXPECT_NE(imported.err.find("left out: method OPTIONS is not recorded"), std::string::npos);
    EXPECT_NE(imported.err.find("left out: another host"), std::string::npos);
    std::string sep(1, kHeaderSeparator);
    EXPECT_EQ(test::ReadFile(evf),
              "1\tURL\t" + server_.Url("/a") + "\t\t\r\n2\tGET\t" + server_.Url("/s") +
                  "\tq=1\t\r\n3\tPOST\t" + server_.Url("/login") +
                  "\tuser=me&pass=%82%A0\t\r\n"
                  "4\tPOST\t" +
                  server_.Url("/api?v=2") + "\t{\"a\":1}\tOrigin: " + origin + sep +
                  "content-type: application/json" + sep + "x-csrf-token: t0k" + sep +
                  "accept: */*\t\r\n"
                  "5\tDELETE\t" +
                  server_.Url("/api/items/8") + "\t\tOrigin: " + origin +
                  "\t\r\n"
                  "6\tPOST\t" +
                  server_.Url("/api/bin") + "\t%00%01%0A%03\t" + kPercentBodyEntry + sep +
                  "Origin: " + origin + sep +
                  "Content-Type: application/octet-stream\t\r\n"
                  "7\t\t\t\t\r\n");
    // And it replays, the script rows with their methods, headers and bodies.
    server_.ClearRequests();
    Result run = Run({QStringLiteral("--run"), QString::fromStdString(evf)});
    EXPECT_EQ(run.code, 0) << run.out;
    ASSERT_EQ(server_.RequestCount(), 6u);
    auto sent = server_.Requests();
    EXPECT_EQ(sent[2].body, "user=me&pass=%82%A0");
    EXPECT_EQ(sent[3].target, "/api?v=2");
    EXPECT_EQ(sent[3].body, "{\"a\":1}");
    EXPECT_EQ(sent[3].Header("content-type"), "application/json");
    EXPECT_EQ(sent[3].Header("x-csrf-token"), "t0k");
    EXPECT_EQ(sent[3].Header("cookie"), "");  // the cookie store's, not the HAR's
    EXPECT_EQ(sent[4].method, "DELETE");
    EXPECT_EQ(sent[5].body, std::string("\0\1\n\3", 4));
}

TEST_F(CommandLineTest, FolderChoosesTheProgramFolderForOneStart) {
    test::TempFolder other;
    std::string folder = other / "setup-b";
    QString file = File("f.evf", "1\tURL\t" + server_.Url("/a") + "\t\t\r\n");
    Result run = Run({QStringLiteral("--folder"), QString::fromStdString(folder),
                      QStringLiteral("--run"), file});
    EXPECT_EQ(run.code, 0) << run.err;
    // Laid out on first use, closed to others; the settings and the answer are there, not in
    // the executable's folder.
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + "/quillrun.ini")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + "/response/0_response.txt")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir_ / "response/0_response.txt")));
    EXPECT_EQ(Run({QStringLiteral("--folder")}).code, 2);
}

TEST_F(CommandLineTest, RunWithTheBrowserEngineNeedsNoDisplay) {
    Result run = Run({QStringLiteral("--run"),
                      File("b.evf", "1\tURL\t" + server_.Url("/page") + "\t\t\r\n2\tGET\t" +
                                        server_.Url("/s") + "\tq=1\t\r\n"),
                      QStringLiteral("--browser")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find(" URL " + server_.Url("/page") + " loaded "), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(" GET " + server_.Url("/s") + "?q=1 loaded "), std::string::npos);
    bool page = false, search = false;
    for (const auto& r : server_.Requests()) {
        page = page || r.target == "/page";
        search = search || r.target == "/s?q=1";
    }
    EXPECT_TRUE(page && search);
    EXPECT_EQ(Run({QStringLiteral("--browser")}).code, 2);  // --browser goes with --run
}

TEST_F(CommandLineTest, RunAtAMomentConnectsAheadAndWritesAtIt) {
    QString file = File("at.evf", "1\tURL\t" + server_.Url("/at") + "\t\t\r\n");
    LocalTime moment = FromEpochMilliseconds(ToEpochMilliseconds(SystemClock().Now()) + 2500);
    char text[32];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d.%03d", moment.hour, moment.minute,
                  moment.second, moment.millisecond);
    Result run = Run({QStringLiteral("--run"), file, QStringLiteral("--at"), QString(text)});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("moment: " + DateTimeText(moment)), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("first byte: "), std::string::npos);
    ASSERT_EQ(server_.RequestCount(), 1u);
    test::ReceivedRequest request = server_.Requests()[0];
    long long at = WallMillisecondsOf(moment) * 1000;
    EXPECT_GE(request.firstByteMicroseconds, at);
    EXPECT_LT(request.acceptedMicroseconds, at);

    Result past = Run({QStringLiteral("--run"), file, QStringLiteral("--at"),
                       QStringLiteral("2001-01-01T00:00")});
    EXPECT_EQ(past.code, 2);
    EXPECT_NE(past.err.find("has passed"), std::string::npos) << past.err;
    EXPECT_EQ(Run({QStringLiteral("--at"), QStringLiteral("10:00")}).code, 2);  // needs --run
    EXPECT_EQ(server_.RequestCount(), 1u);
    Result clock = Run({QStringLiteral("--clock")});
    EXPECT_NE(clock.out.find("clock: "), std::string::npos);
}

// A login-then-book flow with the booking as the moment row, by both engines: the lead rows
// go ahead, the booking reaches the server at the moment with the token of the lead rows' pages.
TEST_F(CommandLineTest, TheMomentRowLeavesAtTheMomentAfterItsLeadRows) {
    test::TokenSite site;
    test::LoopbackHttpServer server(
        [&site](const test::ReceivedRequest& r) { return site.Serve(r); });
    QString file =
        File("book.evf", "1\tURL\t" + server.Url("/login") + "\t\t\r\n2\tPOST\t" +
                             server.Url("/login") + "\tcsrf=t9-1&user=me\t\r\n" + "3\tPOST\t" +
                             server.Url("/book") + "\tcsrf=t9-2&seat=1\t\r\n4\t\t\t\t\r\n");
    for (bool browser : {false, true}) {
        std::size_t before = server.RequestCount();
        LocalTime moment = FromEpochMilliseconds(ToEpochMilliseconds(SystemClock().Now()) + 9000);
        char text[32];
        std::snprintf(text, sizeof(text), "%02d:%02d:%02d.%03d", moment.hour, moment.minute,
                      moment.second, moment.millisecond);
        QStringList arguments = {QStringLiteral("--run"),         file,
                                 QStringLiteral("--at"),          QString(text),
                                 QStringLiteral("--moment-row"),  QStringLiteral("3"),
                                 QStringLiteral("--lead"),        QStringLiteral("6"),
                                 QStringLiteral("--fresh-hidden")};
        if (browser)
            arguments << QStringLiteral("--browser");
        Result run = Run(arguments);
        EXPECT_EQ(run.code, 0) << browser << run.out << run.err;
        EXPECT_NE(run.out.find("lead rows: "), std::string::npos);
        long long at = WallMillisecondsOf(moment) * 1000;
        auto requests = server.Requests();
        bool booked = false;
        for (std::size_t k = before; k < requests.size(); ++k) {
            const test::ReceivedRequest& r = requests[k];
            if (r.target == "/favicon.ico")
                continue;  // the engine's own, after the page came
            if (r.method == "POST" && r.target == "/book") {
                booked = true;
                EXPECT_GE(r.firstByteMicroseconds, at) << browser;  // not before the moment
                EXPECT_LT(r.firstByteMicroseconds, at + 2000000) << browser;
            } else {
                EXPECT_LT(r.firstByteMicroseconds, at - 1000000) << browser << " " << r.target;
            }
        }
        EXPECT_TRUE(booked) << browser;
    }
    EXPECT_EQ(
        Run({QStringLiteral("--run"), file, QStringLiteral("--moment-row"), QStringLiteral("3")})
            .code,
        2);  // it goes with --at
}

TEST_F(CommandLineTest, AMomentPassedMinutesAgoIsRefusedOrSentAtOnceWhenLateIsAllowed) {
    QString file = File("late.evf", "1\tURL\t" + server_.Url("/late") + "\t\t\r\n");
    // A timer that started two minutes late: not a booking for tomorrow.
    LocalTime moment = FromEpochMilliseconds(ToEpochMilliseconds(SystemClock().Now()) - 120000);
    char text[32];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", moment.hour, moment.minute, moment.second);
    Result refused = Run({QStringLiteral("--run"), file, QStringLiteral("--at"), QString(text)});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("the moment has passed 12"), std::string::npos) << refused.err;
    EXPECT_EQ(server_.RequestCount(), 0u);

    auto started = std::chrono::steady_clock::now();
    Result late = Run({QStringLiteral("--run"), file, QStringLiteral("--at"), QString(text),
                       QStringLiteral("--late-ok")});
    EXPECT_EQ(late.code, 0) << late.err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_NE(late.out.find("ms ago: sent at once"), std::string::npos) << late.out;
    EXPECT_EQ(server_.RequestCount(), 1u);
    EXPECT_EQ(Run({QStringLiteral("--run"), file, QStringLiteral("--late-ok")}).code, 2);
}

TEST_F(CommandLineTest, AnHttpsServerThatResetsTheConnectionDoesNotEndTheRun) {
    test::TestCertificate certificate = test::TestCertificate::Make();
    test::WriteFile(dir_ / "trust.pem", certificate.certificatePem);
    ::setenv("SSL_CERT_FILE", (dir_ / "trust.pem").c_str(), 1);
    test::LoopbackHttpServer resetting(
        [](const test::ReceivedRequest&) {
            test::Reply reply = test::Reply::Ok("partial");
            reply.resetConnection = true;
            return reply;
        },
        certificate);
    Result run = Run({QStringLiteral("--run"),
                      File("reset.evf", "1\tURL\t" + resetting.Url("/r") + "\t\t\r\n2\tURL\t" +
                                            server_.Url("/after") + "\t\t\r\n")});
    ::unsetenv("SSL_CERT_FILE");
    EXPECT_FALSE(run.crashed) << run.err;
    EXPECT_EQ(resetting.RequestCount(), 1u);
    ASSERT_EQ(server_.RequestCount(), 1u);  // the row after the reset was sent
    EXPECT_EQ(server_.Requests()[0].target, "/after?");
    EXPECT_NE(run.out.find(server_.Url("/after")), std::string::npos) << run.out;
}

TEST_F(CommandLineTest, ARowThatCannotBeReplayedFailsTheRunAndNamesEveryRowNotSent) {
    for (bool browser : {false, true}) {
        server_.ClearRequests();
        QStringList arguments{QStringLiteral("--run"),
                              File("bad.evf", "1\tURL\t" + server_.Url("/one") +
                                                  "\t\t\r\ngarbage without a tab\r\n3\tURL\t" +
                                                  server_.Url("/three") + "\t\t\r\n4\t\t\t\t\r\n")};
        if (browser)
            arguments << QStringLiteral("--browser");
        Result run = Run(arguments);
        EXPECT_EQ(run.code, 1) << browser << run.out << run.err;
        EXPECT_NE(run.out.find("row 2 not sent: it cannot be read as an event"), std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find(" URL " + server_.Url("/three") +
                               " row 3 not sent: the replay ended at row 2"),
                  std::string::npos)
            << run.out;
        bool third = false;
        for (const auto& r : server_.Requests())
            third = third || r.target.rfind("/three", 0) == 0;
        EXPECT_FALSE(third);  // the replay still ends at the damaged row
    }
    // Not an event file at all: refused before anything is sent.
    Result empty = Run({QStringLiteral("--run"), File("empty.evf", "")});
    EXPECT_EQ(empty.code, 2);
    EXPECT_NE(empty.err.find("not an event file"), std::string::npos);
    Result binary = Run({QStringLiteral("--run"), File("binary.evf", std::string("\x7f"
                                                                                 "ELF\0\0\t\t",
                                                                                 9))});
    EXPECT_EQ(binary.code, 2);
    // A pipe is refused, not read (reading it would wait for a writer forever).
    ASSERT_EQ(::mkfifo((dir_ / "event/pipe.evf").c_str(), 0600), 0);
    Result pipe = Run({QStringLiteral("--run"), QString::fromStdString(dir_ / "event/pipe.evf")});
    EXPECT_EQ(pipe.code, 2);
}

}  // namespace quillrun
