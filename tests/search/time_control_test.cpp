// The time budget of a move.
#include <gtest/gtest.h>

#include "search/time_control.h"

namespace tarn::testing {
namespace {

TEST(TimeControlTest, BudgetIsTheSmallerOfTheTurnAndATenthOfTheMatch) {
    constexpr int64_t ms = 1000000;
    // time_left 30000 and timeout_turn 5000: 3000 ms, deepening only before 1998 ms.
    EXPECT_FALSE(OutOfTime(3000 * ms - 1, 5000, 30000));
    EXPECT_TRUE(OutOfTime(3000 * ms, 5000, 30000));
    EXPECT_TRUE(MayDeepen(1998 * ms - 1, 5000, 30000));
    EXPECT_FALSE(MayDeepen(1998 * ms, 5000, 30000));
    // timeout_turn 1000 and time_left 120000: 1000 ms, deepening only before 666 ms.
    EXPECT_FALSE(OutOfTime(1000 * ms - 1, 1000, 120000));
    EXPECT_TRUE(OutOfTime(1000 * ms, 1000, 120000));
    EXPECT_TRUE(MayDeepen(666 * ms - 1, 1000, 120000));
    EXPECT_FALSE(MayDeepen(666 * ms, 1000, 120000));
    // Budgets of zero or below are used up at once.
    EXPECT_TRUE(OutOfTime(0, 0, 120000));
    EXPECT_TRUE(OutOfTime(0, 5000, 0));
    EXPECT_TRUE(OutOfTime(0, 5000, -7));
    // The largest settings do not overflow.
    EXPECT_FALSE(OutOfTime(1000000 * ms, 2147483647, 2147483647));
}

}  // namespace
}  // namespace tarn::testing
