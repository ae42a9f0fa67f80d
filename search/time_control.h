// Time control. The engine has no timer: the search polls the monotonic clock and measures the
// time since the turn began against the manager's two limits, the time for one move and the
// time left in the match.
#pragma once

#include <cstdint>

#include "search/clock.h"

namespace tarn {

// The limits are set in milliseconds and the clock reads nanoseconds.
inline constexpr int64_t NanosecondsPerMillisecond = 1000000;
// A move may use a tenth of the match time left: its budget in nanoseconds per millisecond left.
inline constexpr double TenthOfMatchTime = NanosecondsPerMillisecond / 10.0;
// A new iteration starts only while less than 66.6 percent of a move's budget is used: of the
// move limit, or of the tenth of the match time, in nanoseconds per millisecond of each.
inline constexpr double DeepeningShare = 0.666;
inline constexpr double DeepeningShareOfTurn = NanosecondsPerMillisecond * DeepeningShare;
inline constexpr double DeepeningShareOfMatch = TenthOfMatchTime * DeepeningShare;
// The products the limits are compared with, exactly as written out: 100000, 666000, 66600.
static_assert(TenthOfMatchTime == 1e5 && DeepeningShareOfTurn == 6.66e5 &&
              DeepeningShareOfMatch == 6.66e4);

// The hard limit: the whole move limit is used up, or a tenth of the match time left.
constexpr bool OutOfTime(int64_t elapsed, int64_t timeoutTurn, int64_t timeLeft) {
    return elapsed >= timeoutTurn * NanosecondsPerMillisecond ||
           !(static_cast<double>(timeLeft) * TenthOfMatchTime > static_cast<double>(elapsed));
}

// The soft limit: a new iteration starts only while less than 66.6 percent of each limit is used.
constexpr bool MayDeepen(int64_t elapsed, int64_t timeoutTurn, int64_t timeLeft) {
    return static_cast<double>(timeoutTurn) * DeepeningShareOfTurn > static_cast<double>(elapsed) &&
           static_cast<double>(timeLeft) * DeepeningShareOfMatch > static_cast<double>(elapsed);
}

// The limits of one search, handed in when it starts: the settings cannot change while it runs.
// With the clock switched off (the bench, exact tests) no limit ever ends the search.
// Tests may put a clock of their own in place of the monotonic one, to stop a search at a chosen
// clock test.
struct TimeBudget {
    int64_t TurnStartTime = 0;  // nanoseconds on the clock
    int64_t TimeoutTurn = 0;    // milliseconds
    int64_t TimeLeft = 0;       // milliseconds
    bool ClockEnabled = false;
    int64_t (*Clock)() = ClockNanoseconds;

    // Compiled once, for the base path: the node chain of every path calls these, and an inline
    // copy built for one path could be kept by the linker for all (game/path_namespace.h).
    bool OutOfTime() const;
    bool MayDeepen() const;
};

}  // namespace tarn
