// The search's one platform seam: a monotonic clock in nanoseconds.
#pragma once

#include <chrono>
#include <cstdint>

namespace tarn {

inline int64_t ClockNanoseconds() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace tarn
