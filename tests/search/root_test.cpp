#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "search/clock.h"
#include "search/root.h"
#include "tests/support/boards.h"

namespace tarn::testing {
namespace {

class RootSearchTest : public ::testing::Test {
protected:
    // Searches the board and keeps what the callback was handed.
    SearchResult Search(const TestBoard& board, const SearchLimits& limits = {}) {
        reports.clear();
        const TestBoard before = board;
        const SearchResult result = RootSearch(
            board, limits, [this](const IterationReport& report) { reports.push_back(report); });
        EXPECT_EQ(before, board);
        return result;
    }

    // Limits with the clock running from now.
    static SearchLimits Clock(int64_t timeoutTurn, int64_t timeLeft) {
        SearchLimits limits;
        limits.Time = {ClockNanoseconds(), timeoutTurn, timeLeft, true};
        return limits;
    }

    std::vector<IterationReport> reports;
};

// A board without a five anywhere: columns in pairs, colours alternating row by row.
TestBoard FullWithoutFive() {
    TestBoard board;
    for (int cell = 0; cell < CellCount; ++cell)
        board[cell] = static_cast<Stone>(1 + (ColumnOf(cell) / 2 + RowOf(cell)) % 2);
    return board;
}

TEST_F(RootSearchTest, OwnFiveComesBeforeTheBlock) {
    const SearchResult result = Search(BoardOf(
        {{3, 3, 1}, {4, 3, 1}, {5, 3, 1}, {6, 3, 1}, {3, 9, 2}, {4, 9, 2}, {5, 9, 2}, {6, 9, 2}}));
    // Of the two windows, the later one in window order decides.
    EXPECT_EQ(CellAt(7, 3), result.Move);
    EXPECT_EQ(0, result.Iterations);
    EXPECT_TRUE(reports.empty());
}

TEST_F(RootSearchTest, BlocksTheOpponentsFiveInTheLaterWindow) {
    // A vertical four needing (12,8) and a horizontal one needing (2,15): the vertical windows
    // come after the horizontal ones.
    EXPECT_EQ(CellAt(12, 8), Search(BoardOf({{12, 4, 2},
                                             {12, 5, 2},
                                             {12, 6, 2},
                                             {12, 7, 2},
                                             {12, 3, 1},
                                             {3, 15, 2},
                                             {4, 15, 2},
                                             {5, 15, 2},
                                             {6, 15, 2},
                                             {7, 15, 1}}))
                                 .Move);
    EXPECT_TRUE(reports.empty());
}

TEST_F(RootSearchTest, ZeroBudgetAnswersTheFirstCandidateWithoutReport) {
    const TestBoard board = RandomGame(5, 10);
    ModelState model = ModelWith(board);
    CellScores engineGains, opponentGains;
    CandidateList candidates;
    BuildModel(model, engineGains, opponentGains, candidates);
    CellIndex expected = candidates.Cells[0];
    for (int i = 1; i < candidates.Count; ++i)
        if (engineGains[candidates.Cells[i]] > engineGains[expected])
            expected = candidates.Cells[i];

    EXPECT_EQ(expected, Search(board, Clock(0, 120000)).Move);
    EXPECT_EQ(expected, Search(board, Clock(5000, 0)).Move);
    EXPECT_TRUE(reports.empty());
}

TEST_F(RootSearchTest, ReportsEveryIterationWithRisingDepth) {
    SearchLimits limits;
    limits.LastIteration = 3;
    const SearchResult result = Search(RandomGame(10, 6), limits);
    ASSERT_EQ(4, result.Iterations);
    ASSERT_EQ(4u, reports.size());
    for (int d = 0; d < 4; ++d) {
        const IterationReport& it = result.PerIteration[d];
        EXPECT_EQ(2 * d + 4, it.Depth);
        EXPECT_EQ(it.Depth, reports[d].Depth);
        EXPECT_EQ(it.BestMove, reports[d].BestMove);
        EXPECT_EQ(it.BestScore, reports[d].BestScore);
        EXPECT_EQ(it.Nodes, reports[d].Nodes);
        EXPECT_GT(it.Nodes, 0u);
    }
    EXPECT_EQ(result.PerIteration[3].BestMove, result.Move);
}

TEST_F(RootSearchTest, TimeOutStillAnswersAFreeCell) {
    const TestBoard board = RandomGame(31, 20);
    const SearchResult result = Search(board, Clock(30, 120000));
    ASSERT_GE(result.Move, 0);
    ASSERT_LT(result.Move, CellCount);
    EXPECT_EQ(EmptyCell, board[result.Move]);
}

TEST_F(RootSearchTest, ForcedWinEndsTheDeepening) {
    // The engine's open three becomes an open four: the opponent faces a double four.
    const SearchResult result = Search(EngineWinsPosition());
    ASSERT_EQ(1, result.Iterations);
    ASSERT_EQ(1u, reports.size());
    EXPECT_GE(reports[0].BestScore, WinThreshold);
    EXPECT_TRUE(result.Move == CellAt(7, 10) || result.Move == CellAt(11, 10));
}

TEST_F(RootSearchTest, SingleCandidateIsSearchedOnceAndPlayed) {
    TestBoard board = FullWithoutFive();
    board[CellAt(10, 10)] = EmptyCell;
    const SearchResult result = Search(board);
    EXPECT_EQ(CellAt(10, 10), result.Move);
    EXPECT_EQ(1, result.Iterations);
    EXPECT_EQ(1u, reports.size());
}

// Which instruction set searched is the caller's choice, the best available by default. That
// every path searches the same tree is the oracle test's to show.
TEST_F(RootSearchTest, SearchesOnTheRequestedPathOrTheBest) {
    SearchLimits limits;
    limits.LastIteration = 0;
    const TestBoard board = RandomGame(10, 6);
    EXPECT_EQ(BestPath(), Search(board, limits).Path);
    EXPECT_TRUE(PathAvailable(BestPath()));
    for (SearchPath path : CompiledPaths()) {
        EXPECT_EQ(path, PathNamed(PathName(path)));
        if (!PathAvailable(path)) continue;
        EXPECT_LE(path, BestPath());
        limits.Path = path;
        EXPECT_EQ(path, Search(board, limits).Path);
    }
    EXPECT_EQ(std::nullopt, PathNamed("x86-64-v4"));
}

TEST_F(RootSearchTest, FullBoardHasNoMove) {
    EXPECT_EQ(NoCell, Search(FullWithoutFive()).Move);
    EXPECT_TRUE(reports.empty());
}

TEST_F(RootSearchTest, EmptyBoardOpensInTheCentre) {
    EXPECT_EQ(CellAt(10, 10), Search(TestBoard{}).Move);
    EXPECT_TRUE(reports.empty());
}

// A depth limit lets no iteration start that would report a greater depth, and the first always;
// a limit of 0 or below is none.
TEST(DepthLimitTest, LastIterationWithinTheLimit) {
    const std::pair<int64_t, int> expected[] = {
        {0, 19}, {-6, 19}, {1, 0},   {4, 0},   {5, 0},     {6, 1},          {7, 1},
        {10, 3}, {41, 18}, {42, 19}, {43, 19}, {1000, 19}, {INT64_MAX, 19},
    };
    for (auto [plies, last] : expected) EXPECT_EQ(last, LastIterationWithin(plies)) << plies;
}

}  // namespace
}  // namespace tarn::testing
