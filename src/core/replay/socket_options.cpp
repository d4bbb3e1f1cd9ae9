#include "core/replay/socket_options.h"

#include <mutex>

#include "core/config/app_state.h"

namespace quillrun {
namespace {

std::mutex g_optionsLock;
SocketSenderOptions g_options;

}  // namespace

SocketSenderOptions CurrentSocketSenderOptions() {
    std::lock_guard<std::mutex> lock(g_optionsLock);
    return g_options;
}

NetTimeouts SocketTimeouts() {
    SocketSenderOptions options = CurrentSocketSenderOptions();
    NetTimeouts limits;
    const Settings& settings = App().settings;
    if (options.connectTimeoutMilliseconds > 0)
        limits.connectMilliseconds = options.connectTimeoutMilliseconds;
    else if (settings.SocketConnectTimeout > 0)
        limits.connectMilliseconds = settings.SocketConnectTimeout * 1000;
    if (options.receiveTimeoutMilliseconds > 0)
        limits.idleMilliseconds = options.receiveTimeoutMilliseconds;
    else if (settings.SocketReceiveTimeout > 0)
        limits.idleMilliseconds = settings.SocketReceiveTimeout * 1000;
    if (options.rowTimeoutMilliseconds > 0)
        limits.wholeMilliseconds = options.rowTimeoutMilliseconds;
    else if (settings.SocketRowTimeout > 0)
        limits.wholeMilliseconds = settings.SocketRowTimeout * 1000;
    return limits;
}

void SetSocketSenderOptions(const SocketSenderOptions& options) {
    std::lock_guard<std::mutex> lock(g_optionsLock);
    g_options = options;
}

}  // namespace quillrun
