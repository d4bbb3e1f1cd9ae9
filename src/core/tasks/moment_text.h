// A moment as a person writes it on the command line (--at): a time of day or a date and time.
#pragma once

#include <string>

#include "core/platform/clock.h"

namespace quillrun {

// --at TIME: "HH:MM[:SS[.mmm]]" is the next such moment after now (within 24 hours);
// "YYYY-MM-DD[T| ]HH:MM[:SS[.mmm]]" a local date and time, which must lie after now and at
// most 24 hours ahead. False with the reason otherwise.
bool ParseMomentText(const std::string& text, const LocalTime& now, LocalTime& moment,
                     std::string& error);

}  // namespace quillrun
