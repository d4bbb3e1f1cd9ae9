#include "gui/app/command_line.h"

#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/clock_sync.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/recording/event_export.h"
#include "core/recording/event_line.h"
#include "core/recording/message_sink.h"
#include "core/recording/script_request.h"
#include "core/replay/junit_report.h"
#include "core/replay/server_clock.h"
#include "core/replay/socket_sender.h"
#include "core/replay/task_run.h"
#include "core/replay/url_encoding.h"
#include "core/replay/url_split.h"

namespace quillrun {

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // The option's value is the next argument; none (or an empty one) is an error.
        auto takeValue = [&](std::string& value, const char* what) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                line.mode = CommandLine::Mode::Error;
                line.error = arg + " needs " + what;
                return false;
            }
            value = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            line.mode = CommandLine::Mode::Help;
            return line;
        }
        if (arg == "--version") {
            line.mode = CommandLine::Mode::Version;
            return line;
        }
        if (arg == "--run" && line.mode == CommandLine::Mode::Desktop) {
            if (!takeValue(line.eventFile, "an event file"))
                return line;
            line.mode = CommandLine::Mode::Run;
            continue;
        }
        if (arg == "--browser") {
            line.browser = true;
            continue;
        }
        if (arg == "--at") {
            if (!takeValue(line.at, "a time (HH:MM[:SS[.mmm]] or YYYY-MM-DDTHH:MM[:SS[.mmm]])"))
                return line;
            continue;
        }
        if (arg == "--folder") {
            if (!takeValue(line.folder, "a folder"))
                return line;
            if (line.folder[0] != '/') {
                // Relative to where the program was started.
                char here[4096];
                if (::getcwd(here, sizeof here) != nullptr)
                    line.folder = std::string(here) + "/" + line.folder;
            }
            continue;
        }
        if (arg == "--instance-dir") {
            if (!takeValue(line.instanceFolder, "a folder"))
                return line;
            continue;
        }
        if (arg == "--expect" || arg == "--reject") {
            std::string text;
            if (!takeValue(text, "a text"))
                return line;
            (arg == "--expect" ? line.settings.rule.expectText : line.settings.rule.rejectText) =
                text;
            line.judged = true;
            continue;
        }
        if (arg == "--status") {
            if (!takeValue(line.settings.rule.statusRanges, "statuses such as 200-299,302"))
                return line;
            if (!ValidStatusRanges(line.settings.rule.statusRanges)) {
                line.mode = CommandLine::Mode::Error;
                line.error = "--status: not statuses such as 200-299,302: " +
                             line.settings.rule.statusRanges;
                return line;
            }
            line.judged = true;
            continue;
        }
        if (arg == "--retry-every" || arg == "--retry-for") {
            std::string text;
            if (!takeValue(text, arg == "--retry-every" ? "milliseconds" : "seconds"))
                return line;
            char* end = nullptr;
            long value = std::strtol(text.c_str(), &end, 10);
            bool every = arg == "--retry-every";
            long low = every ? RetryWindow::kShortestEveryMs : 1;
            long high = every ? 3600000 : 3600;
            if (end == text.c_str() || *end != '\0' || value < low || value > high) {
                line.mode = CommandLine::Mode::Error;
                line.error = arg + ": a number from " + std::to_string(low) + " to " +
                             std::to_string(high) + " is needed";
                return line;
            }
            (every ? line.settings.retry.everyMs : line.settings.retry.forSeconds) =
                static_cast<int>(value);
            line.judged = true;
            continue;
        }
        if (arg == "--fresh-hidden") {
            line.settings.freshHidden = true;
            line.judged = true;
            continue;
        }
        if (arg == "--junit") {
            if (!takeValue(line.junitPath, "a file to write"))
                return line;
            line.judged = true;
            continue;
        }
        if (arg == "--no-preconnect") {
            line.preconnect = false;
            continue;
        }
        if (arg == "--import-har" && line.mode == CommandLine::Mode::Desktop) {
            if (!takeValue(line.eventFile, "a HAR file"))
                return line;
            line.mode = CommandLine::Mode::ImportHar;
            continue;
        }
        if (arg == "--host") {
            std::string host;
            if (!takeValue(host, "a host name"))
                return line;
            line.hosts.push_back(host);
            continue;
        }
        if ((arg == "--export-curl" || arg == "--export-har") &&
            line.mode == CommandLine::Mode::Desktop) {
            if (!takeValue(line.eventFile, "an event file"))
                return line;
            line.mode = arg == "--export-curl" ? CommandLine::Mode::ExportCurl
                                               : CommandLine::Mode::ExportHar;
            continue;
        }
        if (arg == "-o") {
            if (!takeValue(line.outputPath, "a file to write"))
                return line;
            continue;
        }
        if (arg == "--clock" && line.mode == CommandLine::Mode::Desktop) {
            line.mode = CommandLine::Mode::Clock;
            continue;
        }
        if (arg == "--server-clock" && line.mode == CommandLine::Mode::Desktop) {
            if (!takeValue(line.url, "a URL"))
                return line;
            line.mode = CommandLine::Mode::ServerClock;
            continue;
        }
        if (arg == "--headless" && line.mode == CommandLine::Mode::Desktop) {
            line.mode = CommandLine::Mode::Headless;
            continue;
        }
        line.mode = CommandLine::Mode::Error;
        line.error = "unknown argument: " + arg + " (see --help)";
        return line;
    }
    if (line.browser && line.mode != CommandLine::Mode::Run) {
        line.mode = CommandLine::Mode::Error;
        line.error = "--browser goes with --run";
    }
    if (!line.preconnect && line.at.empty() && line.mode != CommandLine::Mode::Error) {
        line.mode = CommandLine::Mode::Error;
        line.error = "--no-preconnect goes with --at";
    }
    if (line.judged && line.mode != CommandLine::Mode::Run &&
        line.mode != CommandLine::Mode::Error) {
        line.mode = CommandLine::Mode::Error;
        line.error =
            "--expect, --reject, --status, --retry-every, --retry-for, --junit and --fresh-hidden "
            "go with --run";
    }
    if ((line.settings.retry.everyMs > 0) != (line.settings.retry.forSeconds > 0) &&
        line.mode != CommandLine::Mode::Error) {
        line.mode = CommandLine::Mode::Error;
        line.error = "--retry-every and --retry-for go together";
    }
    bool writes =
        line.mode == CommandLine::Mode::ExportHar || line.mode == CommandLine::Mode::ImportHar;
    if (writes == line.outputPath.empty() && line.mode != CommandLine::Mode::Error) {
        line.mode = CommandLine::Mode::Error;
        line.error = "--export-har and --import-har need -o OUT, and -o goes only with them";
    }
    if (!line.hosts.empty() && line.mode != CommandLine::Mode::ImportHar &&
        line.mode != CommandLine::Mode::Error) {
        line.mode = CommandLine::Mode::Error;
        line.error = "--host goes with --import-har";
    }
    if (!line.at.empty() && line.mode != CommandLine::Mode::Run) {
        line.mode = CommandLine::Mode::Error;
        line.error = "--at goes with --run";
    }
    return line;
}

namespace {

// Reads `count` digits at text[pos] (exactly, or 1 to `count` when `upTo`).
bool Digits(const std::string& text, std::size_t& pos, std::size_t count, int& value,
            bool upTo = false) {
    std::size_t start = pos;
    value = 0;
    while (pos < text.size() && pos - start < count && text[pos] >= '0' && text[pos] <= '9')
        value = value * 10 + (text[pos++] - '0');
    std::size_t n = pos - start;
    if (upTo) {
        for (std::size_t k = n; k < count; ++k)
            value *= 10;  // ".5" is 500 ms
        return n > 0;
    }
    return n == count;
}

bool Expect(const std::string& text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// "HH:MM[:SS[.mmm]]" from pos to the end.
bool ClockPart(const std::string& text, std::size_t pos, LocalTime& t) {
    if (!Digits(text, pos, 2, t.hour) || !Expect(text, pos, ':') || !Digits(text, pos, 2, t.minute))
        return false;
    t.second = 0;
    t.millisecond = 0;
    if (Expect(text, pos, ':')) {
        if (!Digits(text, pos, 2, t.second))
            return false;
        if (Expect(text, pos, '.') && !Digits(text, pos, 3, t.millisecond, true))
            return false;
    }
    return pos == text.size() && t.hour < 24 && t.minute < 60 && t.second < 60;
}

}  // namespace

bool ParseMomentText(const std::string& text, const LocalTime& now, LocalTime& moment,
                     std::string& error) {
    const long long kDayMs = 24LL * 3600 * 1000;
    long long nowMs = ToEpochMilliseconds(now);
    LocalTime t = now;
    std::size_t pos = 0;
    bool dated = text.size() > 10 && text[4] == '-';
    if (dated) {
        if (!Digits(text, pos, 4, t.year) || !Expect(text, pos, '-') ||
            !Digits(text, pos, 2, t.month) || !Expect(text, pos, '-') ||
            !Digits(text, pos, 2, t.day) || !(Expect(text, pos, 'T') || Expect(text, pos, ' ')) ||
            !ClockPart(text, pos, t) || t.month < 1 || t.month > 12 || t.day < 1) {
            error = "not a time: " + text + " (YYYY-MM-DDTHH:MM[:SS[.mmm]])";
            return false;
        }
        LocalTime back = FromEpochMilliseconds(ToEpochMilliseconds(t));
        if (back.day != t.day || back.month != t.month) {
            error = "no such date: " + text;
            return false;
        }
    } else if (!ClockPart(text, 0, t)) {
        error = "not a time: " + text + " (HH:MM[:SS[.mmm]])";
        return false;
    }
    long long ms = ToEpochMilliseconds(t);
    if (!dated && ms <= nowMs)
        ms += kDayMs;  // the next such moment: tomorrow's
    if (ms <= nowMs) {
        error = "the moment has passed: " + text;
        return false;
    }
    if (ms - nowMs > kDayMs) {
        error = "the moment is more than 24 hours ahead: " + text;
        return false;
    }
    moment = FromEpochMilliseconds(ms);
    return true;
}

std::string UsageText() {
    return "Usage: quillrun                           start the desktop program\n"
           "       quillrun --run FILE.evf [--browser] replay an event file now\n"
           "       quillrun --run FILE.evf [--browser] --at TIME\n"
           "                                          replay it at a moment (HH:MM[:SS[.mmm]], "
           "the\n"
           "                                          next such time, or "
           "YYYY-MM-DDTHH:MM[:SS[.mmm]]\n"
           "                                          within 24 hours): connected ahead, the "
           "first\n"
           "                                          request written at that moment\n"
           "                                          (--no-preconnect: connect at the moment)\n"
           "         --expect TEXT  --reject TEXT     the last answer must (not) contain TEXT\n"
           "         --status 200-299,302             the statuses that count (default 2xx, 3xx)\n"
           "         --retry-every MS --retry-for S   try again every MS ms (at least 100) until\n"
           "                                          it succeeds or S seconds have passed\n"
           "         --junit OUT.xml                  write the tries as a JUnit XML report\n"
           "         --fresh-hidden                   hidden fields (tokens) take the values of\n"
           "                                          the page before each row\n"
           "       quillrun --export-curl FILE.evf    a curl command per row (the same bytes)\n"
           "       quillrun --export-har FILE.evf -o OUT.har\n"
           "                                          the rows' requests as a HAR 1.2 file\n"
           "       quillrun --import-har FILE.har [--host HOST]... -o OUT.evf\n"
           "                                          an event file of a HAR's navigations and\n"
           "                                          form posts\n"
           "       quillrun --headless                run the scheduled tasks without a window\n"
           "       quillrun --clock                   is this machine's clock synchronised?\n"
           "       quillrun --server-clock URL        how far a web server's clock is from ours\n"
           "       quillrun [...] --folder DIR        use DIR as the program folder for this "
           "start\n"
           "       quillrun [--headless] --instance-dir DIR\n"
           "                                          keep the per-user lock in DIR (tests, a\n"
           "                                          deliberate second setup on another folder)\n"
           "       quillrun --help | --version\n"
           "\n"
           "--run uses the settings, cookies and response files of the program folder (the\n"
           "folder of the executable) and the socket sender, or with --browser the browser\n"
           "engine offscreen; it prints one line per row (time, method, URL, status line or\n"
           "error, bytes received, milliseconds) and exits 0 when every row got a 2xx or 3xx\n"
           "status (a status --status names) and the last answer passed --expect and --reject,\n"
           "1 when a row failed or was not sent or the rule failed on every try, 2 on bad\n"
           "arguments or a file that\n"
           "cannot be read or is no event file. A running\n"
           "desktop program does not stop it; the duplicate-post guard applies as for tasks.\n"
           "--headless runs the scheduler and both replay engines with no display; it and the\n"
           "desktop program refuse to run together. SIGTERM ends it normally.\n";
}

namespace {

// Reads the program folder's settings; says on stderr why when they cannot be read.
bool LoadSettingsOrSayWhy() {
    if (LoadConfiguration(App()))
        return true;
    std::fprintf(stderr, "quillrun: %s\n",
                 Cp932ToUtf8(UnreadableConfigurationMessage(App())).c_str());
    return false;
}

// Writes a file named on the command line: its path is the file system's own bytes.
bool WriteNamedFile(const std::string& path, const std::string& content) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool written =
        out != nullptr && std::fwrite(content.data(), 1, content.size(), out) == content.size();
    if (out != nullptr && std::fclose(out) != 0)
        written = false;
    if (!written)
        std::fprintf(stderr, "quillrun: cannot write %s\n", path.c_str());
    return written;
}

}  // namespace

int RunEventFile(const std::string& eventFile, const EventFileReplay& replay, const std::string& at,
                 bool preconnect, const RunSettings& settings, const std::string& junitPath,
                 const std::function<bool(long long)>& wait) {
    FirstRequestMoment moment;
    moment.connectAhead = preconnect;
    if (!at.empty()) {
        std::string error;
        if (!ParseMomentText(at, CurrentClock().Now(), moment.at, error)) {
            std::fprintf(stderr, "quillrun: --at: %s\n", error.c_str());
            return 2;
        }
        std::printf("moment: %s\n", DateTimeText(moment.at).c_str());
        std::fflush(stdout);
        moment.written = [&moment](const LocalTime& firstByte) {
            long long late = ToEpochMilliseconds(firstByte) - ToEpochMilliseconds(moment.at);
            std::printf("first byte: %s (%+lld ms)\n", DateTimeText(firstByte).c_str(), late);
            std::fflush(stdout);
        };
    }
    // Paths on the command line are the file system's; the program's are Shift_JIS.
    std::string path = Utf8ToCp932(eventFile);
    std::string content;
    if (!ReadWholeFile(path, content)) {
        // A pipe, a device or a folder is not read either (reading a pipe would wait forever).
        std::fprintf(stderr, "quillrun: cannot read %s\n", eventFile.c_str());
        return 2;
    }
    if (!LooksLikeEventFile(content)) {
        std::fprintf(stderr, "quillrun: not an event file: %s\n", eventFile.c_str());
        return 2;
    }
    // The settings of the program folder, read only: the running desktop program's files
    // (its guard file, its log) are left as they are.
    if (!LoadSettingsOrSayWhy())
        return 2;
    SetMessageSink([](const std::string& text) {
        std::fprintf(stderr, "quillrun: %s\n", Cp932ToUtf8(text).c_str());
    });
    std::vector<JUnitTry> tries;
    auto waitFor = wait ? wait : [](long long milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return true;
    };
    LocalTime start = at.empty() ? CurrentClock().Now() : moment.at;
    RunSummary summary = RunTask(
        path, settings, nullptr,
        [&](int tryNumber, const RowObserver& observer) {
            if (settings.retry.On()) {
                std::printf("--- try %d %s\n", tryNumber,
                            DateTimeText(CurrentClock().Now()).c_str());
                std::fflush(stdout);
            }
            tries.emplace_back();
            replay(path, observer, tryNumber == 1 && !at.empty() ? &moment : nullptr);
        },
        waitFor,
        [&tries](const RowResult& row) {
            if (!tries.empty())
                tries.back().rows.push_back(row);
            std::printf("%s\n", FormatRowResult(row).c_str());
            for (const std::string& note : row.notes)
                std::printf("    %s\n", note.c_str());
            std::fflush(stdout);
        },
        start, nullptr,
        [&](int, const TryVerdict& verdict) {
            if (!tries.empty())
                tries.back().verdict = verdict;
            if (!settings.rule.IsDefault() || settings.retry.On()) {
                std::printf("rule: %s\n",
                            verdict.success ? "success" : ("failure: " + verdict.reason).c_str());
                std::fflush(stdout);
            }
        });
    SetMessageSink(nullptr);
    if (!junitPath.empty()) {
        if (!WriteNamedFile(junitPath, JUnitReportXml(Cp932ToUtf8(path), tries)))
            return 2;
    }
    return summary.success ? 0 : 1;
}

int RunEventFileNow(const std::string& eventFile, const std::string& at, bool preconnect,
                    const RunSettings& settings, const std::string& junitPath) {
    return RunEventFile(
        eventFile,
        [&settings](const std::string& path, const RowObserver& observer,
                    const FirstRequestMoment* moment) {
            SocketReplayThread(path, observer, moment, settings.freshHidden);
        },
        at, preconnect, settings, junitPath);
}

int ExportEventFile(const std::string& eventFile, bool har, const std::string& outputPath) {
    std::string path = Utf8ToCp932(eventFile);
    std::vector<std::string> lines;
    std::string content;
    if (!ReadWholeFile(path, content) || !LooksLikeEventFile(content) ||
        !ReadEventFileLines(path, lines)) {
        std::fprintf(stderr, "quillrun: not a readable event file: %s\n", eventFile.c_str());
        return 2;
    }
    // The program folder's cookies and settings, read only.
    if (!LoadSettingsOrSayWhy())
        return 2;
    std::vector<WireRequest> requests;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        EventLine row;
        if (!ParseReplayRow(lines[n], row))
            break;
        WireRequest request;
        if (!WireRequestOf(row, request)) {
            std::fprintf(har ? stderr : stdout, "# row %zu (%s): not a request, left out\n", n + 1,
                         Cp932ToUtf8(row.method).c_str());
            continue;
        }
        if (!har)
            std::printf("%s\n", CurlCommand(request).c_str());
        requests.push_back(request);
    }
    if (!har)
        return 0;
    LocalTime now = CurrentClock().Now();
    char started[40];
    std::snprintf(started, sizeof started, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", now.year,
                  now.month, now.day, now.hour, now.minute, now.second, now.millisecond);
    return WriteNamedFile(outputPath, HarDocument(requests, started)) ? 0 : 2;
}

// A HAR's header text as its bytes on the wire: one byte per character where it can be,
// else UTF-8.
std::string HeaderText(const QJsonValue& value) {
    QString text = value.toString();
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return text.toStdString();
    }
    return text.toLatin1().toStdString();
}

// "scheme://host[:port]" of an address; "null" when it has none.
std::string OriginOfUrl(const std::string& url) {
    std::size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return "null";
    return url.substr(0, url.find_first_of("/?#", scheme + 3));
}

int ImportHarFile(const std::string& harFile, const std::vector<std::string>& hosts,
                  const std::string& outputPath) {
    QFile file(QString::fromLocal8Bit(harFile.c_str()));
    QJsonParseError error;
    QJsonDocument document;
    if (file.open(QIODevice::ReadOnly))
        document = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject root = document.object();
    const QJsonObject log = root.value(QStringLiteral("log")).toObject();
    const QJsonArray entries = log.value(QStringLiteral("entries")).toArray();
    if (!file.isOpen() || error.error != QJsonParseError::NoError ||
        !root.value(QStringLiteral("log")).isObject()) {
        std::fprintf(stderr, "quillrun: not a readable HAR file: %s\n", harFile.c_str());
        return 2;
    }
    std::string out;
    int ordinal = 0;
    for (int k = 0; k < entries.size(); ++k) {
        const QJsonObject entry = entries.at(k).toObject();
        const QJsonObject request = entry.value(QStringLiteral("request")).toObject();
        std::string method = request.value(QStringLiteral("method")).toString().toStdString();
        std::string url = request.value(QStringLiteral("url")).toString().toStdString();
        url = url.substr(0, url.find('#'));
        auto leaveOut = [&](const std::string& why) {
            std::fprintf(stderr, "quillrun: entry %d (%s %s) left out: %s\n", k + 1, method.c_str(),
                         url.c_str(), why.c_str());
        };
        UrlParts parts;
        if (!SplitUrl(url, parts)) {
            leaveOut("not an http(s) address");
            continue;
        }
        // The host without its port ("[::1]:8080" is "[::1]").
        std::string host = parts.host;
        std::size_t colon = host.rfind(':');
        if (colon != std::string::npos && (host[0] != '[' || colon > host.find(']')))
            host = host.substr(0, colon);
        if (!hosts.empty() && std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
            leaveOut("another host");
            continue;
        }
        // A browser names what each request was for; pages, form posts and the script
        // requests that send something are events.
        std::string type = entry.value(QStringLiteral("_resourceType")).toString().toStdString();
        bool page = type.empty() || type == "document";
        if (method == "GET" && !page) {
            leaveOut("a " + type + " request, not a page");
            continue;
        }
        bool byScript = type == "fetch" || type == "xhr";
        std::string line;
        if (method == "GET") {
            std::size_t mark = url.find('?');
            if (mark == std::string::npos || mark + 1 == url.size())
                line = FormatEventLine(++ordinal, "URL", url.substr(0, mark), "");
            else
                line = FormatEventLine(++ordinal, "GET", url.substr(0, mark), url.substr(mark + 1));
        } else {
            const QJsonObject post = request.value(QStringLiteral("postData")).toObject();
            std::string mime = post.value(QStringLiteral("mimeType")).toString().toStdString();
            QByteArray text = post.value(QStringLiteral("text")).toString().toUtf8();
            if (post.value(QStringLiteral("encoding")).toString() == QStringLiteral("base64"))
                text = QByteArray::fromBase64(text);
            std::string body(text.constData(), static_cast<std::size_t>(text.size()));
            bool form = method == "POST" && !byScript &&
                        (mime.rfind("multipart/form-data", 0) == 0 ||
                         mime.rfind("application/x-www-form-urlencoded", 0) == 0);
            if (form) {
                if (mime.rfind("multipart/form-data", 0) == 0)
                    PercentEncodeAll(body);
                if (body.size() >= kDataWidth ||
                    body.find_first_of("\t\r\n") != std::string::npos) {
                    leaveOut("its body does not fit an event");
                    continue;
                }
                line = FormatEventLine(++ordinal, "POST", url, body);
            } else {
                // Sent by script (or with a body no form sends): a script row with the
                // request's headers.
                ScriptRequest sent;
                sent.via = "HAR";
                sent.method = method;
                sent.url = url;
                sent.body = body;
                std::string referer;
                for (const QJsonValue& h : request.value(QStringLiteral("headers")).toArray()) {
                    std::string name = HeaderText(h.toObject().value(QStringLiteral("name")));
                    std::string value = HeaderText(h.toObject().value(QStringLiteral("value")));
                    std::string lower = AsciiLower(name);
                    if (lower == "origin")
                        sent.origin = value;
                    else if (lower == "referer")
                        referer = value;
                    sent.headers.emplace_back(name, value);
                }
                if (!mime.empty() &&
                    std::none_of(sent.headers.begin(), sent.headers.end(), [](const auto& h) {
                        return AsciiLower(h.first) == "content-type";
                    }))
                    sent.headers.emplace_back("Content-Type", mime);
                if (sent.origin.empty())
                    sent.origin = OriginOfUrl(referer.empty() ? url : referer);
                ScriptEvent event;
                std::string why;
                if (!ScriptRequestEvent(sent, event, why)) {
                    leaveOut(why);
                    continue;
                }
                line = FormatEventLine(++ordinal, EventMethodText(event.method), event.url,
                                       event.data, event.headers);
            }
        }
        out += line;
    }
    out += FormatEventLine(++ordinal, "", "", "");
    if (!WriteNamedFile(outputPath, out))
        return 2;
    std::printf("%d events\n", ordinal - 1);
    return 0;
}

int PrintClockState() {
    ClockSync sync = ReadClockSync();
    std::fputs(ClockSyncReport(sync).c_str(), stdout);
    return sync.synchronised ? 0 : 1;
}

int PrintServerClock(const std::string& url) {
    ServerClockEstimate estimate = EstimateServerClock([&url] { return SampleDate(url); });
    if (!estimate.ok) {
        std::fprintf(stderr, "quillrun: --server-clock: %s\n", estimate.error.c_str());
        return 1;
    }
    std::printf("server clock - this clock: %+lld ms (+- %lld ms)\n", estimate.offsetMs,
                estimate.uncertaintyMs);
    std::printf("round trip: %lld ms, requests: %d\n", estimate.roundTripMs, estimate.requests);
    std::printf("to act at the server's second 0, give the task the offset %+lld ms\n",
                -estimate.offsetMs);
    return 0;
}

}  // namespace quillrun
