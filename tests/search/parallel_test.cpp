// The search on several threads against the search on one: with the clock off, every iteration
// reports the same depth, best move, score and node count; with a clock that runs out in the
// middle of an iteration, the answer is the one the one-thread search gives when its own clock
// runs out at the same point of the root order.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "search/root.h"
#include "search/search_path.h"
#include "search/threads.h"
#include "tests/support/boards.h"

namespace tarn::testing {
namespace {

// Positions of every kind the search meets: quiet openings and middle games, lines with threes
// and fours for either side (forced wins and losses, double fours), crowded and nearly full
// boards, and a board with a single empty cell.
std::vector<TestBoard> Positions() {
    std::vector<TestBoard> boards;
    for (unsigned seed = 1; seed <= 8; ++seed) boards.push_back(RandomGame(seed, 4 + 3 * seed));
    for (unsigned seed = 20; seed < 26; ++seed) boards.push_back(RandomGame(seed, 12, true));
    std::mt19937 rng(7);
    while (boards.size() < 26) boards.push_back(RandomBoard(rng, false));
    // The engine's open three: it wins by making an open four.
    boards.push_back(
        BoardOf({{8, 10, 1}, {9, 10, 1}, {10, 10, 1}, {9, 9, 2}, {12, 14, 2}, {3, 3, 2}}));
    // The opponent's open three with a spare stone: the engine loses whatever it plays.
    boards.push_back(
        BoardOf({{8, 10, 2}, {9, 10, 2}, {10, 10, 2}, {9, 8, 2}, {9, 9, 2}, {3, 3, 1}}));
    TestBoard single{};
    for (int cell = 0; cell < CellCount; ++cell)
        single[cell] = static_cast<Stone>(1 + (ColumnOf(cell) / 2 + RowOf(cell)) % 2);
    single[CellAt(10, 10)] = EmptyCell;
    boards.push_back(single);
    return boards;
}

void ExpectSameIterations(const SearchResult& one, const SearchResult& many) {
    ASSERT_EQ(one.Iterations, many.Iterations);
    for (int d = 0; d < one.Iterations; ++d) {
        SCOPED_TRACE(::testing::Message() << "iteration " << d);
        EXPECT_EQ(one.PerIteration[d].Depth, many.PerIteration[d].Depth);
        EXPECT_EQ(one.PerIteration[d].BestMove, many.PerIteration[d].BestMove);
        EXPECT_EQ(one.PerIteration[d].BestScore, many.PerIteration[d].BestScore);
        EXPECT_EQ(one.PerIteration[d].Nodes, many.PerIteration[d].Nodes);
    }
}

class ParallelSearchTest : public ::testing::TestWithParam<int> {};

TEST_P(ParallelSearchTest, EveryIterationAsOnOneThread) {
    SearchThreads helpers(GetParam() - 1);
    ASSERT_EQ(GetParam() - 1, helpers.Helpers());
    const std::vector<TestBoard> boards = Positions();
    uint64_t thrown = 0;
    // Each path of this processor gets every other position: its worker nodes are its own.
    std::vector<SearchPath> paths;
    for (SearchPath path : CompiledPaths())
        if (PathAvailable(path)) paths.push_back(path);
    for (size_t i = 0; i < boards.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "position " << i);
        SearchLimits limits;
        limits.LastIteration = 2;
        limits.Path = paths[i % paths.size()];
        const SearchResult one = RootSearch(boards[i], limits);
        limits.Threads = &helpers;
        const SearchResult many = RootSearch(boards[i], limits);
        ExpectSameIterations(one, many);
        EXPECT_EQ(one.Move, many.Move);
        EXPECT_EQ(one.Path, many.Path);
        EXPECT_FALSE(many.TimedOut);
        thrown += many.ThrownNodes;
    }
    // Work was shared: some of it was speculative and thrown away.
    EXPECT_GT(thrown, 0u);
}

// A clock for the test below that stands still for a given number of readings and then jumps far
// ahead, so that the time runs out at exactly that clock test; the readings of all threads count.
std::atomic<int64_t> ReadingsLeft{0};

int64_t CountingClock() {
    return ReadingsLeft.fetch_sub(1, std::memory_order_relaxed) > 0 ? 0 : int64_t{1} << 60;
}

SearchResult SearchUntilReading(const TestBoard& board, int64_t readings, SearchThreads* helpers) {
    ReadingsLeft = readings;
    SearchLimits limits;
    limits.Time = {0, 1000, 1000000, true, &CountingClock};
    limits.LastIteration = 2;
    limits.Threads = helpers;
    return RootSearch(board, limits);
}

// Where a search stopped, in the order of the one-thread search's clock tests: after its last
// completed iteration, or within the next one after a number of accepted root moves.
int64_t StopPoint(const SearchResult& result) {
    return int64_t{1000} * result.Iterations + (result.TimedOut ? 1 + result.Accepted : 0);
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
                ExpectSameIterations(*one, many);
                EXPECT_EQ(one->Move, many.Move);
            }
    }
}

// More threads than this machine has cores must be as exact, if slower.
INSTANTIATE_TEST_SUITE_P(Threads, ParallelSearchTest, ::testing::Values(2, 3, 5));

}  // namespace
}  // namespace tarn::testing
