#include "search/time_control.h"

namespace tarn {

bool TimeBudget::OutOfTime() const {
    if (!ClockEnabled) return false;
    return tarn::OutOfTime(Clock() - TurnStartTime, TimeoutTurn, TimeLeft);
}

bool TimeBudget::MayDeepen() const {
    if (!ClockEnabled) return true;
    return tarn::MayDeepen(Clock() - TurnStartTime, TimeoutTurn, TimeLeft);
}

}  // namespace tarn
