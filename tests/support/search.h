// What the search tests share: the instruction-set paths to compare, a clock that stops a search
// at a chosen point, and the comparison of two searches. The counting clock stands still for a
// given number of readings and then jumps far ahead, so that a search stops at its first clock
// test after the jump, as if its time had run out at that very moment; the readings of all
// threads count.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "search/foresight.h"
#include "search/root.h"
#include "search/search_path.h"
#include "search/threads.h"
#include "search/time_control.h"
#include "tests/support/boards.h"

namespace tarn::testing {

// Every instruction-set path of the search this processor can run.
inline std::vector<SearchPath> AvailablePaths() {
    std::vector<SearchPath> paths;
    for (SearchPath path : CompiledPaths())
        if (PathAvailable(path)) paths.push_back(path);
    return paths;
}

inline std::atomic<int64_t> ReadingsLeft{0};

inline int64_t CountingClock() {
    return ReadingsLeft.fetch_sub(1, std::memory_order_relaxed) > 0 ? 0 : int64_t{1} << 60;
}

// A budget on the counting clock whose reading `readings` + 1 is the first to find the time up.
// Until then every limit has time to spare: the clock test and the deepening test both pass.
inline TimeBudget CountingBudget(int64_t readings) {
    ReadingsLeft = readings;
    return {0, 1000, 1000000, true, &CountingClock};
}

// Where a search stopped, in the order of the one-thread search's stop tests: after its last
// completed iteration, or within the next one after a number of accepted root moves.
inline int64_t StopPoint(const SearchResult& result) {
    return int64_t{1000} * result.Iterations + (result.TimedOut ? 1 + result.Accepted : 0);
}

// Both searches reported the same iterations (depth, best move, score and nodes; times aside),
// stopped at the same point and answered the same move.
inline void ExpectSameSearch(const SearchResult& expected, const SearchResult& actual) {
    ASSERT_EQ(expected.Iterations, actual.Iterations);
    for (int d = 0; d < expected.Iterations; ++d) {
        SCOPED_TRACE(::testing::Message() << "iteration " << d);
        EXPECT_EQ(expected.PerIteration[d].Depth, actual.PerIteration[d].Depth);
        EXPECT_EQ(expected.PerIteration[d].BestMove, actual.PerIteration[d].BestMove);
        EXPECT_EQ(expected.PerIteration[d].BestScore, actual.PerIteration[d].BestScore);
        EXPECT_EQ(expected.PerIteration[d].Nodes, actual.PerIteration[d].Nodes);
    }
    EXPECT_EQ(StopPoint(expected), StopPoint(actual));
    EXPECT_EQ(expected.Move, actual.Move);
}

struct SuiteTotals {
    uint64_t Nodes = 0;   // of every reported iteration
    uint64_t Thrown = 0;  // searched on speculation and thrown away
    uint64_t Reused = 0;  // taken from lines searched before
};

// Searches every position of SearchPositions() to depth 8 with the helpers of `team`, each
// against the one-thread search; each path of this processor gets every other position, as its
// worker nodes are its own. With `foresight`, what one thread did at each position is recorded
// into it first.
inline SuiteTotals SearchPositionsAsOnOneThread(HelperTeam& team, Foresight* foresight = nullptr) {
    SuiteTotals totals;
    const std::vector<SearchPath> paths = AvailablePaths();
    const std::vector<TestBoard> boards = SearchPositions();
    for (size_t i = 0; i < boards.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << team.Helpers() + 1 << " threads, position " << i);
        SearchLimits limits;
        limits.LastIteration = 2;
        limits.Path = paths[i % paths.size()];
        const SearchResult one = RootSearch(boards[i], limits);
        if (foresight) foresight->Record(boards[i], limits);
        limits.Threads = &team;
        const SearchResult many = RootSearch(boards[i], limits);
        ExpectSameSearch(one, many);
        EXPECT_EQ(one.Path, many.Path);
        EXPECT_FALSE(many.TimedOut);
        for (int d = 0; d < many.Iterations; ++d) totals.Nodes += many.PerIteration[d].Nodes;
        totals.Thrown += many.ThrownNodes;
        totals.Reused += many.ReusedNodes;
    }
    return totals;
}

}  // namespace tarn::testing
