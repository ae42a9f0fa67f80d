// The search on several threads against the search on one: with the clock off, every iteration
// reports the same depth, best move, score and node count; with a clock that runs out in the
// middle of an iteration, the answer is the one the one-thread search gives when its own clock
// runs out at the same point of the root order.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <vector>

#include "search/root.h"
#include "search/search_path.h"
#include "search/threads.h"
#include "tests/support/boards.h"
#include "tests/support/search.h"

namespace tarn::testing {
namespace {

class ParallelSearchTest : public ::testing::TestWithParam<int> {};

TEST_P(ParallelSearchTest, EveryIterationAsOnOneThread) {
    SearchThreads helpers(GetParam() - 1);
    ASSERT_EQ(GetParam() - 1, helpers.Helpers());
    const std::vector<TestBoard> boards = SearchPositions();
    uint64_t thrown = 0;
    // Each path of this processor gets every other position: its worker nodes are its own.
    const std::vector<SearchPath> paths = AvailablePaths();
    for (size_t i = 0; i < boards.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "position " << i);
        SearchLimits limits;
        limits.LastIteration = 2;
        limits.Path = paths[i % paths.size()];
        const SearchResult one = RootSearch(boards[i], limits);
        limits.Threads = &helpers;
        const SearchResult many = RootSearch(boards[i], limits);
        ExpectSameSearch(one, many);
        EXPECT_EQ(one.Path, many.Path);
        EXPECT_FALSE(many.TimedOut);
        thrown += many.ThrownNodes;
    }
    // Work was shared: some of it was speculative and thrown away.
    EXPECT_GT(thrown, 0u);
}

SearchResult SearchUntilReading(const TestBoard& board, int64_t readings, SearchThreads* helpers) {
    SearchLimits limits;
    limits.Time = CountingBudget(readings);
    limits.LastIteration = 2;
    limits.Threads = helpers;
    return RootSearch(board, limits);
}

// The one-thread search stopped at every reading: where it stops never goes back as the reading
// grows, so the first reading that stops it at a given point is found by bisection.
class OneThreadStops {
public:
    explicit OneThreadStops(const TestBoard& board) : board(board) {
        SearchUntilReading(board, int64_t{1} << 40, nullptr);
        readings = (int64_t{1} << 40) - ReadingsLeft.load();
    }

    int64_t Readings() const { return readings; }

    // The one-thread search stopped at `point`; none if it never stops there.
    std::optional<SearchResult> At(int64_t point) {
        int64_t low = 0, high = readings + 1;
        while (low < high) {
            const int64_t middle = (low + high) / 2;
            if (StopPoint(After(middle)) < point)
                low = middle + 1;
            else
                high = middle;
        }
        if (StopPoint(After(low)) != point) return std::nullopt;
        return After(low);
    }

private:
    const SearchResult& After(int64_t reading) {
        auto known = searched.find(reading);
        if (known == searched.end())
            known = searched.emplace(reading, SearchUntilReading(board, reading, nullptr)).first;
        return known->second;
    }

    const TestBoard& board;
    int64_t readings;
    std::map<int64_t, SearchResult> searched;
};

TEST(ThreadedTimeOutTest, AnswersAsOneThreadStoppedAtTheSamePoint) {
    SearchThreads two(1), five(4);
    for (unsigned seed : {3u, 11u, 17u}) {
        const TestBoard board = RandomGame(seed, 10 + seed % 5);
        OneThreadStops oneThread(board);
        // Most readings come in the last iteration: the earlier ones get their share too.
        for (int64_t part : {1, 2, 4, 8, 16, 32, 48, 56})
            for (SearchThreads* helpers : {&two, &five}) {
                SCOPED_TRACE(::testing::Message()
                             << "seed " << seed << ", reading " << part << "/64, "
                             << helpers->Helpers() + 1 << " threads");
                const SearchResult many =
                    SearchUntilReading(board, oneThread.Readings() * part / 64, helpers);
                const std::optional<SearchResult> one = oneThread.At(StopPoint(many));
                ASSERT_TRUE(one) << "stopped at " << StopPoint(many);
                ExpectSameSearch(*one, many);
            }
    }
}

// More threads than this machine has cores must be as exact, if slower.
INSTANTIATE_TEST_SUITE_P(Threads, ParallelSearchTest, ::testing::Values(2, 3, 5));

}  // namespace
}  // namespace tarn::testing
