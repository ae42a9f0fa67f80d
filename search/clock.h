// The search's one platform seam: a monotonic clock in nanoseconds.
#pragma once

#include <cstdint>

#ifdef _WIN32
// The two kernel32 counter functions, declared exactly as the Windows headers declare them, so
// that no Windows header and its macros reach the engine's code. The counter union has the
// layout of a signed 64-bit integer.
union _LARGE_INTEGER;
extern "C" {
__declspec(dllimport) int __stdcall QueryPerformanceCounter(_LARGE_INTEGER* count);
__declspec(dllimport) int __stdcall QueryPerformanceFrequency(_LARGE_INTEGER* frequency);
}
#else
#include <chrono>
#endif

namespace tarn {

#ifdef _WIN32
// The performance counter, converted to nanoseconds without overflow: whole seconds and the
// remainder are scaled apart. The C++ steady clock of MinGW reads the wall-clock time here,
// which can jump and on Windows only moves in steps of the system tick.
inline int64_t ClockNanoseconds() {
    static const int64_t frequency = [] {
        int64_t ticksPerSecond = 0;
        QueryPerformanceFrequency(reinterpret_cast<_LARGE_INTEGER*>(&ticksPerSecond));
        return ticksPerSecond;
    }();
    int64_t counter = 0;
    QueryPerformanceCounter(reinterpret_cast<_LARGE_INTEGER*>(&counter));
    return (counter / frequency) * 1000000000 + ((counter % frequency) * 1000000000) / frequency;
}
#else
inline int64_t ClockNanoseconds() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}
#endif

}  // namespace tarn
