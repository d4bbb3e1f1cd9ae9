#include "core/tasks/moment_text.h"

namespace quillrun {

namespace {

// Reads `count` digits at text[pos] (exactly, or 1 to `count` when `upTo`).
bool Digits(const std::string& text, std::size_t& pos, std::size_t count, int& value,
            bool upTo = false) {
    std::size_t start = pos;
    value = 0;
    while (pos < text.size() && pos - start < count && text[pos] >= '0' && text[pos] <= '9')
        value = value * 10 + (text[pos++] - '0');
    std::size_t n = pos - start;
    if (upTo) {
        for (std::size_t k = n; k < count; ++k)
            value *= 10;  // ".5" is 500 ms
        return n > 0;
    }
    return n == count;
}

bool Expect(const std::string& text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// "HH:MM[:SS[.mmm]]" from pos to the end.
bool ClockPart(const std::string& text, std::size_t pos, LocalTime& t) {
    if (!Digits(text, pos, 2, t.hour) || !Expect(text, pos, ':') || !Digits(text, pos, 2, t.minute))
        return false;
    t.second = 0;
    t.millisecond = 0;
    if (Expect(text, pos, ':')) {
        if (!Digits(text, pos, 2, t.second))
            return false;
        if (Expect(text, pos, '.') && !Digits(text, pos, 3, t.millisecond, true))
            return false;
    }
    return pos == text.size() && t.hour < 24 && t.minute < 60 && t.second < 60;
}

}  // namespace

bool ParseMomentText(const std::string& text, const LocalTime& now, LocalTime& moment,
                     std::string& error, bool lateOk) {
    const long long kDayMs = 24LL * 3600 * 1000;
    long long nowMs = ToEpochMilliseconds(now);
    LocalTime t = now;
    std::size_t pos = 0;
    bool dated = text.size() > 10 && text[4] == '-';
    if (dated) {
        if (!Digits(text, pos, 4, t.year) || !Expect(text, pos, '-') ||
            !Digits(text, pos, 2, t.month) || !Expect(text, pos, '-') ||
            !Digits(text, pos, 2, t.day) || !(Expect(text, pos, 'T') || Expect(text, pos, ' ')) ||
            !ClockPart(text, pos, t) || t.month < 1 || t.month > 12 || t.day < 1) {
            error = "not a time: " + text + " (YYYY-MM-DDTHH:MM[:SS[.mmm]])";
            return false;
        }
        LocalTime back = FromEpochMilliseconds(ToEpochMilliseconds(t));
        if (back.day != t.day || back.month != t.month) {
            error = "no such date: " + text;
            return false;
        }
    } else if (!ClockPart(text, 0, t)) {
        error = "not a time: " + text + " (HH:MM[:SS[.mmm]])";
        return false;
    }
    long long ms = ToEpochMilliseconds(t);
    // A moment that passed a little while ago is a late start (a timer, a pod, a slow machine),
    // not a wish for tomorrow: it is refused, or sent at once when lateness is allowed.
    long long passed = nowMs - ms;
    if (passed >= 0 && passed < kLateLimitMs) {
        if (lateOk) {
            moment = FromEpochMilliseconds(ms);
            return true;
        }
        error = "the moment has passed " + std::to_string(passed / 1000) + " s ago: " + text +
                " (--late-ok sends at once)";
        return false;
    }
    if (!dated && ms <= nowMs)
        ms += kDayMs;  // the next such moment: tomorrow's
    if (ms <= nowMs) {
        error = "the moment has passed: " + text;
        return false;
    }
    if (ms - nowMs > kDayMs) {
        error = "the moment is more than 24 hours ahead: " + text;
        return false;
    }
    moment = FromEpochMilliseconds(ms);
    return true;
}

}  // namespace quillrun
