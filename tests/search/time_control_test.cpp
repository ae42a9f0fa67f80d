// The limits of a search: the time budget of a move, and a node limit beside it.
#include <gtest/gtest.h>

#include "search/root.h"
#include "search/time_control.h"
#include "tests/support/boards.h"
#include "tests/support/search.h"

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

// With a node limit and a clock, the search stops at whichever of the two it meets first, as it
// stops for that one alone.
TEST(SearchLimitsTest, WhicheverLimitComesFirstEndsTheSearch) {
    const TestBoard board = RandomGame(7, 18);
    SearchLimits limits;
    limits.LastIteration = 2;
    limits.Time = CountingBudget(int64_t{1} << 40);
    const SearchResult whole = RootSearch(board, limits);
    ASSERT_FALSE(whole.TimedOut);
    const int64_t readings = (int64_t{1} << 40) - ReadingsLeft;
    uint64_t nodes = 0;
    for (int d = 0; d < whole.Iterations; ++d) nodes += whole.PerIteration[d].Nodes;

    int nodesFirst = 0, clockFirst = 0;
    for (int nodeShare : {1, 7, 30, 60})
        for (int readingShare : {2, 10, 45, 70}) {
            SCOPED_TRACE(::testing::Message() << nodeShare << " % of the nodes, " << readingShare
                                              << " % of the clock readings");
            limits.MaxNodes = nodes * nodeShare / 100;
            limits.Time = CountingBudget(readings * readingShare / 100);
            const SearchResult both = RootSearch(board, limits);
            limits.Time = {};
            const SearchResult byNodes = RootSearch(board, limits);
            limits.MaxNodes = 0;
            limits.Time = CountingBudget(readings * readingShare / 100);
            const SearchResult byClock = RootSearch(board, limits);
            const bool nodeLimitFirst = StopPoint(byNodes) <= StopPoint(byClock);
            ExpectSameSearch(nodeLimitFirst ? byNodes : byClock, both);
            ++(nodeLimitFirst ? nodesFirst : clockFirst);
        }
    EXPECT_GT(nodesFirst, 0);
    EXPECT_GT(clockFirst, 0);
}

}  // namespace
}  // namespace tarn::testing
