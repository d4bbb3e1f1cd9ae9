#include "core/config/activity_log.h"

#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/platform/message_sink.h"

namespace quillrun {
namespace {

constexpr std::int64_t kLogSizeLimit = 10240;
constexpr int kMaxKeysPerMillisecond = 99;

std::mutex g_logLock;
std::string g_logPath;
const std::int32_t* g_traceFlag = nullptr;

}  // namespace

std::string LogKey(const LocalTime& t, int n) {
    char key[96];
    if (n <= 1) {
        std::snprintf(key, sizeof(key), "Logged_%02d/%02d/%02d %02d:%02d:%02d.%03d", t.year,
                      t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    } else {
        std::snprintf(key, sizeof(key), "Logged_%02d/%02d/%02d %02d:%02d:%02d.%03d-%d", t.year,
                      t.month, t.day, t.hour, t.minute, t.second, t.millisecond, n);
    }
    return key;
}

namespace {

// What the writer knows of the log file between entries, so that an entry costs one append
// whatever the file's size. It is trusted only while the file is the one it was taken from,
// with the size it had after the last entry; otherwise it is taken afresh.
struct LogIndex {
    bool valid = false;
    FileIdentity file;
    // Appending "key=value" CR LF at the end gives the same bytes as the profile writer would:
    // the section "log" is the file's last and its last line is an entry with its line end.
    bool appendable = false;
    // Keys of the section (as compared) -> whether reading gives a non-empty value.
    std::unordered_map<std::string, bool> taken;
    // The file is there but cannot be read: it is left alone, never replaced.
    bool unreadable = false;
};

LogIndex g_index;
bool g_failureReported = false;

void IndexLog(const std::string& path) {
    g_index = LogIndex();
    g_index.file = IdentityOf(path);
    std::string text;
    if (!g_index.file.exists && PathExists(path)) {
        g_index.unreadable = true;  // a folder, a pipe: not a log file of ours
        return;
    }
    if (g_index.file.exists && !ReadWholeFile(path, text)) {
        g_index.unreadable = true;
        return;
    }
    IniDocument doc;
    doc.Parse(text);
    for (const auto& entry : doc.Entries("log"))
        g_index.taken.emplace(ProfileNameKey(entry.first), !entry.second.empty());
    if (g_index.file.exists && !text.empty()) {
        const char probe[] = "Logged_append-probe";
        IniDocument probed = doc;
        probed.SetString("log", probe, "x");
        g_index.appendable = probed.Serialize() == text + probe + "=x\r\n";
    }
    g_index.valid = true;
}

// Writes one entry through the whole profile writer (a new file, a key that is present with an
// empty value, or a file laid out otherwise). The index is taken afresh at the next entry.
bool WriteThroughProfile(const std::string& path, const std::string& key, const std::string& line) {
    g_index.valid = false;
    IniDocument log;
    log.Load(path);
    log.SetString("log", key, line);
    return log.Save(path);
}

}  // namespace

void SetActivityLog(const std::string& logPath, const std::int32_t* traceFlag) {
    std::lock_guard<std::mutex> lock(g_logLock);
    g_logPath = logPath;
    g_traceFlag = traceFlag;
    g_index = LogIndex();
    g_failureReported = false;
}

void WriteLog(const std::string& message, bool isTrace) {
    bool failed = false;
    {
        std::lock_guard<std::mutex> lock(g_logLock);
        if (isTrace && (g_traceFlag == nullptr || *g_traceFlag != 1))
            return;
        if (g_logPath.empty())
            return;
        LocalTime now = CurrentClock().Now();

        // An entry is one line: a line break inside the message (a server's text, say) would
        // otherwise start a line of its own in the file.
        std::string line = message;
        for (char& c : line) {
            if (c == '\r' || c == '\n')
                c = ' ';
        }

        if (!g_index.valid || IdentityOf(g_logPath) != g_index.file)
            IndexLog(g_logPath);
        failed = g_index.unreadable;
        for (int n = 1; n <= kMaxKeysPerMillisecond && !failed; ++n) {
            std::string key = LogKey(now, n);
            auto found = g_index.taken.find(ProfileNameKey(key));
            if (found != g_index.taken.end() && found->second)
                continue;
            if (found != g_index.taken.end() || !g_index.valid || !g_index.appendable) {
                failed = !WriteThroughProfile(g_logPath, key, line);
            } else if (AppendWhole(g_logPath, key + "=" + line + "\r\n", g_index.file)) {
                g_index.taken[ProfileNameKey(key)] = !ProfileValueAsRead(line).empty();
            } else {
                g_index.valid = false;
                failed = true;
            }
            break;
        }
        if (!failed || g_failureReported)
            return;
        g_failureReported = true;
    }
    // Said once per run, outside the lock: the message list may be slow to take the row.
    AddMessage(J("ログファイル quillrun.log に書き込めませんでした（以後の失敗は表示しません）"));
}

void TrimLogAtStartup(const std::string& logPath) {
    std::int64_t size = FileSize(logPath);
    // A log that cannot be opened (another account's) is left as it is.
    std::string text;
    if (size > kLogSizeLimit && ReadWholeFile(logPath, text))
        RemoveFile(logPath);
}

}  // namespace quillrun
