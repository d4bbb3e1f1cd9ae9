// The Record page's message list as the core sees it: AddMessage can be called from any
// thread; the installed sink (the list widget) carries the row over to the user-interface
// thread. Without a sink, messages are dropped.
#pragma once

#include <functional>
#include <string>

namespace quillrun {

using MessageSink = std::function<void(const std::string&)>;

void SetMessageSink(MessageSink sink);
void AddMessage(const std::string& text);

// "YYYY-MM-DD hh:mm" of the local time, the time column of a message row.
std::string MessageTimeText();

}  // namespace quillrun
