#include "core/config/activity_log.h"

#include <cstdio>
#include <mutex>

#include "core/platform/files.h"
#include "core/platform/ini.h"

namespace quillrun {
namespace {

constexpr std::int64_t kLogSizeLimit = 10240;
constexpr int kMaxKeysPerMillisecond = 99;

std::mutex g_logLock;
std::string g_logPath;
const std::int32_t* g_traceFlag = nullptr;

}  // namespace

void SetActivityLog(const std::string& logPath, const std::int32_t* traceFlag) {
    std::lock_guard<std::mutex> lock(g_logLock);
    g_logPath = logPath;
    g_traceFlag = traceFlag;
}

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

void WriteLog(const std::string& message, bool isTrace) {
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

    IniDocument log;
    log.Load(g_logPath);
    for (int n = 1; n <= kMaxKeysPerMillisecond; ++n) {
        std::string key = LogKey(now, n);
        if (log.GetString("log", key, "", 260).empty()) {
            log.SetString("log", key, line);
            log.Save(g_logPath);
            return;
        }
    }
}

void TrimLogAtStartup(const std::string& logPath) {
    std::int64_t size = FileSize(logPath);
    if (size > kLogSizeLimit)
        RemoveFile(logPath);
}

}  // namespace quillrun
