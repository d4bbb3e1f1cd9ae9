// The socket sender: replays an event file row by row over its own HTTP/1.0 client, with the
// cookie store, numbered response files and the duplicate-post guard. One detached thread per
// started Socket task.
#pragma once

#include <cstdint>
#include <string>

namespace quillrun {

constexpr std::size_t kReceiveLimit = 10240;
constexpr int kResponseFilesMax = 101;  // numbers 0 to 100

struct SocketSenderOptions {
    std::uint16_t port = 0;    // 0: 80, or 50000 in CGI test mode
    int pauseMilliseconds = 1000;  // after every row that reached the request stage
};

// Tests reach a loopback server on its own port and shorten the pause.
void SetSocketSenderOptions(const SocketSenderOptions& options);

struct SocketRequest {
    std::string method;  // "GET", "URL" or "POST"
    std::string path;
    std::string data;    // body or query, multipart bodies already decoded
    std::string cookie;  // cookie text, may be empty
    int contentLength = 0;
};

// The request text, byte for byte.
std::string FormatSocketRequest(const SocketRequest& request);

// The name of response file n: program folder + "response/" + n + "_response.txt".
std::string ResponseFilePath(int n);
// Stores a response under the first free number; with 0 to 100 taken, those are deleted and
// the response becomes number 0.
void StoreResponse(const std::string& response);

// The thread procedure: replays the event file; returns at its end or at the first row that
// ends the replay.
void SocketReplayThread(std::string eventFile);

// Starts SocketReplayThread on a detached thread that owns its copy of the path.
void StartSocketReplayThread(const std::string& eventFile);

}  // namespace quillrun
