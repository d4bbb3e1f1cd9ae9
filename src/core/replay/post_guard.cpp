#include "core/replay/post_guard.h"

#include "core/config/activity_log.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"

namespace quillrun {

std::string GuardFilePath() {
    return ProgramPath("cookies/quillrun.sin");
}

GuardResult RunPostGuard(const std::string& key) {
    std::string path = GuardFilePath();
    std::string content;
    int count = 0;
    if (ReadWholeFile(path, content)) {
        // Whole lines are compared, so a key longer than a line buffer still counts.
        std::size_t pos = 0;
        while (pos < content.size()) {
            std::size_t end = content.find('\n', pos);
            std::size_t next = end == std::string::npos ? content.size() : end + 1;
            std::size_t stop = end == std::string::npos ? content.size() : end;
            if (stop > pos && content[stop - 1] == '\r')
                --stop;
            if (content.compare(pos, stop - pos, key) == 0 && stop - pos == key.size())
                ++count;
            pos = next;
        }
    }
    if (count > 3) {
        std::string message =
            J("連続投稿抑止機能が働きました。送信内容を変更するか再起動が必要です。");
        WriteLog(message, false);
        AddMessage(message);
        return GuardResult::Tripped;
    }
    return AppendToFile(path, key + "\r\n") ? GuardResult::Pass : GuardResult::FileError;
}

}  // namespace quillrun
