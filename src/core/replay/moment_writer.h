// core/replay: the moment writer. Many Socket tasks may be due at one moment; if each of their
// threads woke for it, a thousand threads would wake (and spin the last two milliseconds) on a
// few cores, and the last request would leave a tenth of a second late. Instead each run hands
// its prepared request and its open connection to a few writer threads (one per core), which
// wake once at the moment and write the first bytes of every request due, in the order they
// were handed over; the runs go on with their answers afterwards.
#pragma once

#include <string>

#include "core/platform/clock.h"
#include "core/platform/tcp_client.h"

namespace quillrun {

struct MomentWrite {
    bool wrote = false;   // the whole request went out
    LocalTime firstByte;  // when its first byte was written
};

// Writes the request on the connection at the moment from a writer thread, and returns when it
// has been written (at once when the moment has passed). The connection's exchange clock starts
// with the write. Without a writer thread (the system's limit of threads), the calling thread
// waits and writes itself.
MomentWrite WriteAtMoment(const LocalTime& moment, TcpConnection& connection,
                          const std::string& text);

// How many writer threads serve the moments (started when a first request is handed over).
int MomentWriterThreads();

}  // namespace quillrun
