#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/text_forms.h"
#include "search/clock.h"
#include "search/root.h"
#include "search_fixture.h"

namespace tarn::testing {
namespace {

class RootSearchTest : public ::testing::Test {
protected:
    void SetUp() override { EngineSettings = Settings{}; }

    SearchResult Search(int lastIteration = MaxIterations - 1, bool useClock = false) {
        SearchOptions options;
        options.LastIteration = lastIteration;
        options.UseClock = useClock;
        options.Report = &report;
        std::memcpy(before, Game.Board, CellCount);
        Game.TurnStartTime = ClockNanoseconds();
        const SearchResult result = RunRootSearch(options);
        EXPECT_EQ(0, std::memcmp(before, Game.Board, CellCount)) << "the board is not restored";
        return result;
    }

    std::vector<std::string> ReportLines() const {
        std::vector<std::string> lines;
        std::istringstream in(report.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    std::ostringstream report;
    Stone before[CellCount];
};

// A board without a five anywhere: columns in pairs, colours alternating row by row.
void FillWithoutFive() {
    Game = GameState{};
    Game.Reset();
    for (int cell = 0; cell < CellCount; ++cell)
        Game.Place(static_cast<CellIndex>(cell),
                   static_cast<Stone>(1 + (ColumnOf(cell) / 2 + RowOf(cell)) % 2));
}

TEST_F(RootSearchTest, OwnFiveComesBeforeTheBlock) {
    SetBoard(
        {{3, 3, 1}, {4, 3, 1}, {5, 3, 1}, {6, 3, 1}, {3, 9, 2}, {4, 9, 2}, {5, 9, 2}, {6, 9, 2}});
    const SearchResult result = Search();
    EXPECT_TRUE(result.Move == CellAt(2, 3) || result.Move == CellAt(7, 3));
    // Of the two windows, the later one in window order decides.
    EXPECT_EQ(CellAt(7, 3), result.Move);
    EXPECT_EQ(0, result.Iterations);
    EXPECT_EQ("", report.str());
}

TEST_F(RootSearchTest, BlocksTheOpponentsFiveInTheLaterWindow) {
    // A vertical four needing (12,8) and a horizontal one needing (2,15): the vertical windows
    // come after the horizontal ones.
    SetBoard({{12, 4, 2},
              {12, 5, 2},
              {12, 6, 2},
              {12, 7, 2},
              {12, 3, 1},
              {3, 15, 2},
              {4, 15, 2},
              {5, 15, 2},
              {6, 15, 2},
              {7, 15, 1}});
    EXPECT_EQ(CellAt(12, 8), Search().Move);
    EXPECT_EQ("", report.str());
}

TEST_F(RootSearchTest, ZeroBudgetAnswersTheFirstCandidateWithoutReport) {
    SetRandomPosition(5, 10);
    CellScores engineGains, opponentGains;
    CandidateList candidates;
    BuildModel(Game.Board, engineGains, opponentGains, candidates);
    CellIndex expected = candidates.Cells[0];
    for (int i = 1; i < candidates.Count; ++i)
        if (engineGains[candidates.Cells[i]] > engineGains[expected])
            expected = candidates.Cells[i];

    EngineSettings.timeout_turn = 0;
    EXPECT_EQ(expected, Search(MaxIterations - 1, true).Move);
    EngineSettings = Settings{};
    EngineSettings.time_left = 0;
    EXPECT_EQ(expected, Search(MaxIterations - 1, true).Move);
    EXPECT_EQ("", report.str());
}

TEST_F(RootSearchTest, ReportsEveryIterationWithRisingDepth) {
    SetRandomPosition(10, 6);
    const SearchResult result = Search(3);
    const std::vector<std::string> lines = ReportLines();
    ASSERT_EQ(static_cast<size_t>(result.Iterations), lines.size());
    ASSERT_EQ(4, result.Iterations);
    for (int d = 0; d < 4; ++d) {
        const IterationReport& it = result.PerIteration[d];
        EXPECT_EQ(2 * d + 4, it.Depth);
        EXPECT_EQ(
            "MESSAGE " + std::to_string(2 * d + 4) + "; " + MoveText(it.BestMove) + "; " +
                ScoreText(it.BestScore) + "; ",
            lines[d].substr(
                0, lines[d].find("; ", lines[d].find("; ", lines[d].find("; ") + 2) + 2) + 2));
        EXPECT_GT(it.Nodes, 0u);
    }
    EXPECT_EQ(result.PerIteration[3].BestMove, result.Move);
}

TEST_F(RootSearchTest, ModelIsRestoredAfterACompletedSearch) {
    SetRandomPosition(23, 16);
    Search(2);
    uint8_t neighbours[CellCount];
    WindowState windows[WindowCount];
    std::memcpy(neighbours, NeighbourCount, sizeof neighbours);
    std::memcpy(windows, WindowStates, sizeof windows);
    CellScores engineGains, opponentGains;
    CandidateList candidates;
    BuildModel(Game.Board, engineGains, opponentGains, candidates);
    EXPECT_EQ(0, std::memcmp(neighbours, NeighbourCount, sizeof neighbours));
    EXPECT_EQ(0, std::memcmp(windows, WindowStates, sizeof windows));
}

TEST_F(RootSearchTest, BoardIsRestoredAfterATimeOut) {
    SetRandomPosition(31, 20);
    EngineSettings.timeout_turn = 30;
    const SearchResult result = Search(MaxIterations - 1, true);
    EXPECT_TRUE(Game.IsFreeCell(result.Move));
    // The next search rebuilds the model, whatever the time-out left behind.
    EngineSettings = Settings{};
    const SearchResult again = Search(1);
    EXPECT_TRUE(Game.IsFreeCell(again.Move));
}

TEST_F(RootSearchTest, ForcedWinEndsTheDeepening) {
    // The engine's open three becomes an open four: the opponent faces a double four.
    SetBoard({{8, 10, 1}, {9, 10, 1}, {10, 10, 1}, {9, 9, 2}, {12, 14, 2}, {3, 3, 2}});
    const SearchResult result = Search();
    ASSERT_EQ(1, result.Iterations);
    EXPECT_GE(result.PerIteration[0].BestScore, WinThreshold);
    EXPECT_TRUE(result.Move == CellAt(7, 10) || result.Move == CellAt(11, 10));
    EXPECT_NE(std::string::npos, report.str().find("; W"));
}

TEST_F(RootSearchTest, SingleCandidateIsSearchedOnceAndPlayed) {
    FillWithoutFive();
    Game.Board[CellAt(10, 10)] = EmptyCell;
    const SearchResult result = Search();
    EXPECT_EQ(CellAt(10, 10), result.Move);
    EXPECT_EQ(1, result.Iterations);
    EXPECT_EQ(1u, ReportLines().size());
}

TEST_F(RootSearchTest, FullBoardHasNoMove) {
    FillWithoutFive();
    EXPECT_EQ(NoCell, Search().Move);
    EXPECT_EQ("", report.str());
}

TEST_F(RootSearchTest, EmptyBoardOpensInTheCentre) {
    SetBoard({});
    EXPECT_EQ(CellAt(10, 10), Search().Move);
    EXPECT_EQ("", report.str());
}

}  // namespace
}  // namespace tarn::testing
