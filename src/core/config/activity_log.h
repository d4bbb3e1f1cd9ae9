// The activity log "quillrun.log": section "log", one key per entry, the key a millisecond
// time stamp of the moment of logging.
#pragma once

#include <cstdint>
#include <string>

#include "core/platform/clock.h"

namespace quillrun {

// Where WriteLog writes and the trace switch it obeys (the OutputDebugTrace setting).
void SetActivityLog(const std::string& logPath, const std::int32_t* traceFlag);

// Ordinary entries are always written; trace entries only when trace output is 1. Callable
// from any thread: finding a free key and writing it happen under one process-wide lock.
void WriteLog(const std::string& message, bool isTrace);

// The key of an entry: "Logged_YYYY/MM/DD hh:mm:ss.mmm", with "-n" for the n-th entry of the
// same millisecond (n = 2..99).
std::string LogKey(const LocalTime& t, int n);

// Deletes the log file when it is larger than 10240 bytes.
void TrimLogAtStartup(const std::string& logPath);

}  // namespace quillrun
