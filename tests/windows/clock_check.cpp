// Checks the engine's clock on Windows: it is the performance counter and not the calendar
// time (which MinGW's steady clock reads), it never goes back, it resolves below a microsecond,
// and it runs at the rate of the system's own millisecond tick over the same interval.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "search/clock.h"

// The calendar time in nanoseconds since 1970, from the system's file time (100 ns since 1601).
static int64_t CalendarNanoseconds() {
    FILETIME fileTime;
    GetSystemTimeAsFileTime(&fileTime);
    const int64_t since1601 =
        (static_cast<int64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    return (since1601 - 116444736000000000) * 100;
}

int main() {
    const int64_t oneDay = 86400LL * 1000000000;
    const int64_t offCalendar = CalendarNanoseconds() - tarn::ClockNanoseconds();
    if (offCalendar < oneDay && offCalendar > -oneDay) {
        std::printf("FAIL: the clock reads the calendar time, not the performance counter\n");
        return 1;
    }
    int64_t previous = tarn::ClockNanoseconds();
    int64_t smallestStep = INT64_MAX;
    for (int reading = 0; reading < 1000000; ++reading) {
        const int64_t now = tarn::ClockNanoseconds();
        if (now < previous) {
            std::printf("FAIL: the clock went back from %lld to %lld\n",
                        static_cast<long long>(previous), static_cast<long long>(now));
            return 1;
        }
        if (now > previous && now - previous < smallestStep) smallestStep = now - previous;
        previous = now;
    }

    const uint64_t tickStart = GetTickCount64();
    const int64_t clockStart = tarn::ClockNanoseconds();
    Sleep(500);
    const int64_t clockMs = (tarn::ClockNanoseconds() - clockStart) / 1000000;
    const int64_t tickMs = static_cast<int64_t>(GetTickCount64() - tickStart);

    std::printf("clock: smallest step %lld ns, %lld ms against the system tick's %lld ms\n",
                static_cast<long long>(smallestStep), static_cast<long long>(clockMs),
                static_cast<long long>(tickMs));
    if (smallestStep >= 1000) {
        std::printf("FAIL: the clock moves in steps of a microsecond or more\n");
        return 1;
    }
    const int64_t difference = clockMs > tickMs ? clockMs - tickMs : tickMs - clockMs;
    if (difference > 50) {
        std::printf("FAIL: the clock and the system tick disagree over the same interval\n");
        return 1;
    }
    return 0;
}
