// The search on several threads against the search on one: with the clock off, every iteration
// reports the same depth, best move, score and node count; with a clock that runs out in the
// middle of an iteration, the answer is the one the one-thread search gives when its own clock
// runs out at the same point of the root order.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <sched.h>
#endif

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "search/parallel.h"
#include "search/root.h"
#include "search/spin_lock.h"
#include "search/threads.h"
#include "tests/support/boards.h"
#include "tests/support/search.h"

namespace tarn::testing {
namespace {

class ParallelSearchTest : public ::testing::TestWithParam<int> {};

TEST_P(ParallelSearchTest, EveryIterationAsOnOneThread) {
    SearchThreads helpers(GetParam() - 1);
    ASSERT_EQ(GetParam() - 1, helpers.Helpers());
    // Work was shared: some of it was speculative and thrown away.
    EXPECT_GT(SearchPositionsAsOnOneThread(helpers).Thrown, 0u);
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

// The least node limit at which the one-thread search stops beyond `point`: where it stops never
// goes back as the limit grows. That limit less one node is reached exactly at the end of the root
// move (or the iteration) that `point` ends with.
uint64_t LeastNodeLimitBeyond(const TestBoard& board, SearchLimits limits, int64_t point,
                              uint64_t wholeSearch) {
    uint64_t low = 1, high = wholeSearch + 1;
    while (low < high) {
        limits.MaxNodes = low + (high - low) / 2;
        if (StopPoint(RootSearch(board, limits)) > point)
            high = limits.MaxNodes;
        else
            low = limits.MaxNodes + 1;
    }
    return low;
}

// Node limits for a position, none when it needs no search: the end of every iteration and one
// node after it, shares of the whole search within its iterations (and its first root moves, the
// main line's), and, with `rootBoundaries`, the ends of the first two root moves of the last
// iteration (where the threads share the root moves) and one node after each.
std::vector<uint64_t> NodeLimitsFor(const TestBoard& board, const SearchLimits& limits,
                                    bool rootBoundaries) {
    const SearchResult whole = RootSearch(board, limits);
    std::vector<uint64_t> nodeLimits;
    uint64_t nodes = 0;
    for (int d = 0; d < whole.Iterations; ++d) {
        nodes += whole.PerIteration[d].Nodes;
        nodeLimits.insert(nodeLimits.end(), {nodes, nodes + 1});
    }
    if (nodes == 0) return {};
    for (uint64_t part : {1, 8, 40}) nodeLimits.push_back(1 + nodes * part / 64);
    const int64_t lastIteration = int64_t{1000} * (whole.Iterations - 1);
    for (int64_t accepted = 1; rootBoundaries && accepted <= 2; ++accepted) {
        const uint64_t beyond =
            LeastNodeLimitBeyond(board, limits, lastIteration + 1 + accepted, nodes);
        nodeLimits.insert(nodeLimits.end(), {beyond - 1, beyond});
    }
    return nodeLimits;
}

// Under its node limit, the search on each of `threads` (on `threadedPath`, if given) reports and
// answers as on one thread.
void ExpectAsOnOneThread(const TestBoard& board, SearchLimits limits,
                         std::span<SearchThreads* const> threads,
                         std::optional<SearchPath> threadedPath = std::nullopt) {
    limits.Threads = nullptr;
    const SearchResult one = RootSearch(board, limits);
    if (threadedPath) limits.Path = threadedPath;
    for (SearchThreads* helpers : threads) {
        SCOPED_TRACE(::testing::Message()
                     << limits.MaxNodes << " nodes, " << helpers->Helpers() + 1 << " threads");
        limits.Threads = helpers;
        ExpectSameSearch(one, RootSearch(board, limits));
    }
}

// A node limit stops the search on several threads where it stops the search on one, with the
// same reports and the same answer: at limits within root move 0 (searched on the main line, its
// subtree shared), within the later root moves (shared among the threads), exactly at the end of
// a root move or of an iteration and one node after it, and beyond the whole search, over
// positions of every kind and on every instruction-set path (the threads on another path than
// the one thread, where there are two). Each limit is searched on two of the thread counts, each
// count taking every other limit.
TEST(ParallelNodeLimitTest, StopsAndAnswersAsWithoutHelpers) {
    SearchThreads two(1), three(2), five(4), eight(7);
    SearchThreads* const pairs[2][2] = {{&two, &five}, {&three, &eight}};
    const std::vector<SearchPath> paths = AvailablePaths();
    const std::vector<TestBoard> boards = SearchPositions();
    for (size_t i = 0; i < boards.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "position " << i);
        SearchLimits limits;
        limits.LastIteration = 2;
        limits.Path = paths[i % paths.size()];
        const std::vector<uint64_t> nodeLimits = NodeLimitsFor(boards[i], limits, true);
        for (size_t n = 0; n < nodeLimits.size(); ++n) {
            limits.MaxNodes = nodeLimits[n];
            ExpectAsOnOneThread(boards[i], limits, pairs[(i + n) % 2],
                                paths[(i + n) % paths.size()]);
        }
    }
}

// The processors the engine's threads may use are those of the CPU set, as taskset narrows it.
TEST(UsableProcessorsTest, FollowTheAffinityMask) {
#if defined(__linux__)
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    int first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const int narrowed = UsableProcessors();
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(narrowed, 1);
    EXPECT_EQ(UsableProcessors(), CPU_COUNT(&all));
#else
    GTEST_SKIP() << "the CPU set is read on Linux only";
#endif
}

// The lock of the split points excludes: threads that add to a plain count under it, more of
// them than cores so that a holder loses its core now and then, lose no addition.
TEST(SpinLockTest, OneHolderAtATime) {
    SpinLock lock;
    constexpr int Threads = 4, Rounds = 100000;
    int64_t count = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < Rounds; ++i) {
                std::lock_guard<SpinLock> hold(lock);
                count = count + 1;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(count, int64_t{Threads} * Rounds);
}

// A line kept is found only by the search that kept it, with a window in its range, and with room
// for its nodes under the node limit; a line kept later in the same slot takes it over.
TEST(SearchedLinesTest, FindsOnlyWhatASearchWouldFind) {
    SearchedLines lines(KeepLinesFromThreads);
    lines.NewSearch();
    SearchedLines::Entry found;
    EXPECT_FALSE(lines.Find(42, 0, 10, NoNodeLimit, found));
    lines.Keep(42, 7, 500, WindowRange{-5, 3, 8, 40});
    EXPECT_TRUE(lines.Find(42, -5, 8, NoNodeLimit, found));
    EXPECT_EQ(found.Value, 7);
    EXPECT_EQ(found.Nodes, 500u);
    EXPECT_TRUE(lines.Find(42, 3, 40, 501, found));
    EXPECT_FALSE(lines.Find(42, 3, 40, 500, found));
    EXPECT_FALSE(lines.Find(42, 4, 10, NoNodeLimit, found));
    EXPECT_FALSE(lines.Find(42, 0, 41, NoNodeLimit, found));
    EXPECT_FALSE(lines.Find(42 + (uint64_t{1} << 40), 0, 10, NoNodeLimit, found));
    lines.Keep(42 + (uint64_t{1} << 40), 1, 2, WindowRange{});
    EXPECT_FALSE(lines.Find(42, 0, 10, NoNodeLimit, found));
    lines.Keep(42, 7, 500, WindowRange{});
    lines.NewSearch();
    EXPECT_FALSE(lines.Find(42, 0, 10, NoNodeLimit, found));
}

// A thread keeping lines in one slot while another reads it: a read finds one keep whole or
// nothing, never the words of two keeps (of the line, or of another line sharing its slot). The
// keeper leaves gaps of varying length between its keeps, so that reads fall both into a keep
// and between keeps whatever the cores' timing: keeps back to back on another core can tear
// nearly every read, and a test that then finds nothing shows nothing. The reader reads until it
// has found enough whole entries while enough keeps went on, or gives up after far more tries
// than that takes.
TEST(SearchedLinesTest, KeepsRacingInOneSlotAreFoundWholeOrNotAtAll) {
    SearchedLines lines(KeepLinesFromThreads);
    lines.NewSearch();
    constexpr uint64_t Line = 42, Other = Line + (uint64_t{1} << 40);
    const WindowRange first{-5, 3, 8, 40}, second{-9, 9, 1, 90};
    lines.Keep(Line, 7, 500, first);
    std::atomic<bool> reading{true};
    std::atomic<int64_t> keeps{0};
    std::thread keeper([&] {
        for (int64_t i = 0; reading.load(std::memory_order_relaxed); ++i) {
            if (i % 3 == 0)
                lines.Keep(Line, 7, 500, first);
            else if (i % 3 == 1)
                lines.Keep(Line, -3, 900, second);
            else
                lines.Keep(Other, 11, 700, WindowRange{});
            for (int64_t gap = i % 7; gap > 0; --gap) CpuRelax();
            keeps.store(i + 1, std::memory_order_relaxed);
        }
    });
    constexpr int Enough = 100000;
    constexpr int64_t EnoughKeeps = 1000000, MostTries = 100000000;
    int found = 0, mixed = 0;
    auto same = [](const WindowRange& a, const WindowRange& b) {
        return a.AlphaMin == b.AlphaMin && a.AlphaMax == b.AlphaMax && a.BetaMin == b.BetaMin &&
               a.BetaMax == b.BetaMax;
    };
    for (int64_t tries = 0;
         (found < Enough || keeps.load(std::memory_order_relaxed) < EnoughKeeps) &&
         tries < MostTries;
         ++tries) {
        SearchedLines::Entry entry;
        if (!lines.Find(Line, 0, 10, NoNodeLimit, entry)) continue;
        ++found;
        mixed += !(entry.Value == 7 && entry.Nodes == 500 && same(entry.Range, first)) &&
                 !(entry.Value == -3 && entry.Nodes == 900 && same(entry.Range, second));
    }
    reading = false;
    keeper.join();
    EXPECT_GE(found, Enough);
    EXPECT_EQ(mixed, 0);
}

// More threads than this machine has cores must be as exact, if slower.
INSTANTIATE_TEST_SUITE_P(Threads, ParallelSearchTest, ::testing::Values(2, 3, 5, 8));

}  // namespace
}  // namespace tarn::testing
