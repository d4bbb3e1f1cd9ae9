// A moment as a person writes it on the command line (--at): a time of day or a date and time.
#pragma once

#include <string>

#include "core/platform/clock.h"

namespace quillrun {

// How long after a moment a start counts as late rather than as meaning the next day.
constexpr long long kLateLimitMs = 10LL * 60 * 1000;

// --at TIME: "HH:MM[:SS[.mmm]]" is the next such moment after now (within 24 hours);
// "YYYY-MM-DD[T| ]HH:MM[:SS[.mmm]]" a local date and time, which must lie after now and at
// most 24 hours ahead. A moment that passed less than 10 minutes ago (now itself included) is
// refused ("the moment has passed N s ago"), or with `lateOk` taken as it is (the request goes
// at once). False with the reason otherwise.
bool ParseMomentText(const std::string& text, const LocalTime& now, LocalTime& moment,
                     std::string& error, bool lateOk = false);

}  // namespace quillrun
