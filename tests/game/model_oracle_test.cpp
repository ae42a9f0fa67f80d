// BuildModel against a deliberately plain evaluation: every run of five found by brute force,
// the evaluation summed from scratch, and the gain of a cell taken as the difference of two such
// evaluations.
#include <gtest/gtest.h>

#include <random>

#include "game/model.h"
#include "tests/support/boards.h"

namespace tarn {
namespace {

using testing::ForEachRun;
using testing::RandomBoard;

// The value of a run from the engine's side, for e engine and o opponent stones in it.
int RunValue(int e, int o) {
    static constexpr int Value[6] = {0, 1, 4, 11, 43, 30000};
    if (e == 0) return -Value[o];
    if (o == 0) return Value[e];
    return 0;
}

// The evaluation from the engine's side, unwrapped.
int EvaluateFromScratch(const Stone* board) {
    int sum = 0;
    ForEachRun([&](const CellIndex* cells) {
        int e = 0, o = 0;
        for (int k = 0; k < 5; ++k) {
            e += board[cells[k]] == EngineStone;
            o += board[cells[k]] == OpponentStone;
        }
        sum += RunValue(e, o);
    });
    return sum;
}

Score Wrapped(int value) {
    return static_cast<Score>(static_cast<uint16_t>(value & 0xFFFF));
}

// Checks everything BuildModel yields for the board against the plain evaluation.
void ExpectModelMatchesOracle(testing::TestBoard boardCopy) {
    Stone* board = boardCopy.data();
    ModelState model = testing::ModelWith(boardCopy);
    CellScores engineGains, opponentGains;
    CandidateList candidates;
    const Score eval = BuildModel(model, engineGains, opponentGains, candidates);
    const int before = EvaluateFromScratch(board);
    EXPECT_EQ(eval, Wrapped(before));

    std::vector<CellIndex> expectedCandidates;
    for (int cell = 0; cell < CellCount; ++cell) {
        const int near = testing::StonesNear(board, cell);
        // An occupied cell counts itself.
        ASSERT_EQ(model.NeighbourCount[NeighbourIndexOf(cell)], near + (board[cell] != EmptyCell))
            << "cell " << cell;
        if (board[cell] != EmptyCell) continue;
        if (near > 0) expectedCandidates.push_back(static_cast<CellIndex>(cell));

        board[cell] = EngineStone;
        const int afterEngine = EvaluateFromScratch(board);
        board[cell] = OpponentStone;
        const int afterOpponent = EvaluateFromScratch(board);
        board[cell] = EmptyCell;
        ASSERT_EQ(engineGains[cell], Wrapped(afterEngine - before)) << "cell " << cell;
        ASSERT_EQ(opponentGains[cell], Wrapped(before - afterOpponent)) << "cell " << cell;
    }
    EXPECT_EQ(std::vector<CellIndex>(candidates.Cells, candidates.Cells + candidates.Count),
              expectedCandidates);

    for (int w = 0; w < WindowCount; ++w) {
        int state = 0;
        for (CellIndex c : WindowCells[w])
            state += board[c] == EngineStone ? 6 : board[c] == OpponentStone ? 1 : 0;
        ASSERT_EQ(model.WindowStates[LineSlots.WindowSlots[w]], state) << "window " << w;
    }
}

TEST(ModelOracle, RandomBoardsWithoutFives) {
    const unsigned seed = 20261208;
    std::mt19937 rng(seed);
    for (int iteration = 0; iteration < 40; ++iteration) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " iteration " << iteration);
        const testing::TestBoard board = RandomBoard(rng, false);
        ASSERT_FALSE(testing::HasFive(board.data()));
        ExpectModelMatchesOracle(board);
        if (HasFailure()) return;
    }
}

// Several fives push the evaluation and the gains past the 16-bit range; both wrap around.
TEST(ModelOracle, SeveralFivesWrapAround) {
    testing::TestBoard board{};
    for (int x = 0; x < 5; ++x) {
        board[CellAt(x, 0)] = EngineStone;
        board[CellAt(x, 3)] = EngineStone;
        board[CellAt(x, 6)] = EngineStone;
        board[CellAt(x + 10, 12)] = OpponentStone;
    }
    // (9,10) completes two fours of the engine at once.
    for (int k = 0; k < 4; ++k) {
        board[CellAt(5 + k, 10)] = EngineStone;
        board[CellAt(9, 6 + k)] = EngineStone;
    }
    const int unwrapped = EvaluateFromScratch(board.data());
    ASSERT_GT(unwrapped, 32767);
    ExpectModelMatchesOracle(board);

    ModelState model = testing::ModelWith(board);
    CellScores engineGains, opponentGains;
    CandidateList candidates;
    EXPECT_EQ(BuildModel(model, engineGains, opponentGains, candidates),
              static_cast<Score>(unwrapped - 65536));
    EXPECT_LT(engineGains[CellAt(9, 10)], 0);
}

TEST(ModelOracle, RandomBoardsWithFives) {
    const unsigned seed = 7;
    std::mt19937 rng(seed);
    int withFive = 0;
    for (int iteration = 0; iteration < 30; ++iteration) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " iteration " << iteration);
        const testing::TestBoard board = RandomBoard(rng, true);
        withFive += testing::HasFive(board.data());
        ExpectModelMatchesOracle(board);
        if (HasFailure()) return;
    }
    EXPECT_GT(withFive, 5);
}

}  // namespace
}  // namespace tarn
