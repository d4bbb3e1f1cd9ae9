#include "core/platform/message_sink.h"

#include <cstdio>
#include <mutex>

#include "core/platform/clock.h"

namespace quillrun {
namespace {

std::mutex g_sinkLock;
MessageSink g_sink;

}  // namespace

void SetMessageSink(MessageSink sink) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    g_sink = std::move(sink);
}

void AddMessage(const std::string& text) {
    MessageSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkLock);
        sink = g_sink;
    }
    if (sink)
        sink(text);
}

std::string MessageTimeText() {
    LocalTime t = CurrentClock().Now();
    char text[48];
    std::snprintf(text, sizeof(text), "%02d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return text;
}

}  // namespace quillrun
