// A socket replay against the loopback site of today's frameworks: the program folder, the
// sender pointed at the site's port with a pause of its own, and the message list kept; all put
// back at the end of the test.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/message_sink.h"
#include "core/replay/socket_sender.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/token_site.h"

namespace quillrun::test {

class TokenSiteReplayTest : public ::testing::Test {
  protected:
    explicit TokenSiteReplayTest(int pauseMilliseconds = 0) : pause_(pauseMilliseconds) {}
    void SetUp() override {
        dir_.MakeProgramFolders();
        SetActivityLog(dir_ / "quillrun.log", &trace_);
        SocketSenderOptions options;
        options.port = server_.Port();
        options.pauseMilliseconds = pause_;
        SetSocketSenderOptions(options);
        SetMessageSink([this](const std::string& text) {
            std::lock_guard<std::mutex> lock(said_);
            messages_.push_back(text);
        });
        App().settings.CGITestMode = 0;
    }
    void TearDown() override {
        SetSocketSenderOptions({});
        SetMessageSink(nullptr);
        SetActivityLog("", nullptr);
    }
    // Writes the event file and replays it on this thread; the rows' results.
    std::vector<RowResult> Replay(const std::string& lines, bool fresh,
                                  const FirstRequestMoment* moment = nullptr, int fromRow = 1) {
        WriteFile(dir_ / "event/f.evf", lines);
        std::vector<RowResult> rows;
        SocketReplayThread(
            dir_ / "event/f.evf", [&rows](const RowResult& row) { rows.push_back(row); }, moment,
            fresh, fromRow);
        return rows;
    }
    std::vector<std::string> Messages() {
        std::lock_guard<std::mutex> lock(said_);
        return messages_;
    }
    // The site's address as a row writes it: the sender's port option reaches the server.
    static std::string Url(const std::string& path) { return "http://127.0.0.1" + path; }

    TempFolder dir_;
    ScopedProgramFolder program_{dir_.Path()};
    std::int32_t trace_ = 0;
    int pause_;
    TokenSite site_;
    LoopbackHttpServer server_{[this](const ReceivedRequest& r) { return site_.Serve(r); }};
    std::mutex said_;
    std::vector<std::string> messages_;
};

}  // namespace quillrun::test
