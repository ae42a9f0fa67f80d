#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "search/node.h"
#include "tests/support/boards.h"

namespace tarn::testing {
namespace {

TEST(ScoreStepTest, WinsAndLossesMoveOnePointPerPly) {
    EXPECT_EQ(31000, AdjustBound(31000));
    EXPECT_EQ(-31000, AdjustBound(-31000));
    EXPECT_EQ(29001, AdjustBound(29000));
    EXPECT_EQ(-29001, AdjustBound(-29000));
    EXPECT_EQ(28999, AdjustBound(28999));
    EXPECT_EQ(0, AdjustBound(0));
    EXPECT_EQ(31000, AdjustResult(31000));
    EXPECT_EQ(-31000, AdjustResult(-31000));
    EXPECT_EQ(29996, AdjustResult(29997));
    EXPECT_EQ(-29997, AdjustResult(-29998));
    EXPECT_EQ(-28999, AdjustResult(-28999));
    // An alpha of 29000 reaches the child as a beta of -29001.
    EXPECT_EQ(-29001, Negate(AdjustBound(29000)));
    EXPECT_EQ(29001, Negate(AdjustBound(-29000)));
}

// The model as the root leaves it for a node, plus what the caller of a node holds.
struct NodeCall {
    SearchState search;
    CellScores engineGains, opponentGains;
    CandidateList candidates;
    Score staticEval;
    ModelState before;

    explicit NodeCall(const TestBoard& board) {
        search.Model = ModelWith(board);
        staticEval = BuildModel(search.Model, engineGains, opponentGains, candidates);
        before = search.Model;
    }

    // The board, window states and neighbour counts are as BuildModel left them.
    bool ModelRestored() const { return SameModel(before, search.Model); }

    int PositionOf(CellIndex cell) const {
        for (int p = 0; p < candidates.Count; ++p)
            if (candidates.Cells[p] == cell) return p;
        ADD_FAILURE() << "cell " << cell << " is no candidate";
        return 0;
    }

    // The opponent plays `cell` and the leaf node values it from the engine's side.
    Score OpponentLeaf(CellIndex cell, Score alpha = -31000, Score beta = 31000) {
        CellScores next = engineGains, mover = opponentGains;
        CandidateList list = candidates;
        search.Model.Board[cell] = OpponentStone;
        const Score result = LeafNode(search, alpha, beta, PositionOf(cell),
                                      Wrap16(staticEval - opponentGains[cell]), next, mover, list);
        search.Model.Board[cell] = EmptyCell;
        return result;
    }

    // The engine plays `cell`, searched by the node chain entry of `iteration`.
    Score EngineNode(int iteration, CellIndex cell, Score alpha = -31000, Score beta = 31000) {
        CellScores next = opponentGains, mover = engineGains;
        CandidateList list = candidates;
        search.Model.Board[cell] = EngineStone;
        const Score result =
            NodeByDepth[iteration](search, alpha, beta, PositionOf(cell),
                                   Wrap16(-(staticEval + engineGains[cell])), next, mover, list);
        search.Model.Board[cell] = EmptyCell;
        return result;
    }
};

TEST(LeafNodeTest, OpponentOpenFourIsLostWithoutAnyReply) {
    NodeCall call(
        BoardOf({{8, 10, 2}, {9, 10, 2}, {10, 10, 2}, {9, 12, 1}, {10, 13, 1}, {11, 12, 1}}));
    EXPECT_EQ(-29997, call.OpponentLeaf(CellAt(11, 10)));
    EXPECT_EQ(1u, call.search.NodeCount);
    EXPECT_TRUE(call.ModelRestored());
}

TEST(LeafNodeTest, OpponentFourHasExactlyTheBlockAsReply) {
    // After (11,10) the opponent's broken four 7,8,_,10,11 on row 10 is completed only at (9,10).
    TestBoard board =
        BoardOf({{7, 10, 2}, {8, 10, 2}, {10, 10, 2}, {3, 3, 1}, {15, 15, 1}, {3, 15, 1}});
    NodeCall call(board);
    const Score value = call.OpponentLeaf(CellAt(11, 10));
    EXPECT_TRUE(call.ModelRestored());

    // The one reply is the block; with an open window the opponent's answers are all scanned:
    // every empty cell near a stone once both stones stand.
    board[CellAt(11, 10)] = OpponentStone;
    board[CellAt(9, 10)] = EngineStone;
    ModelState after = ModelWith(board);
    CellScores engineGains, opponentGains;
    CandidateList answers;
    const Score staticEval = BuildModel(after, engineGains, opponentGains, answers);
    int best = -31000;
    for (int i = 0; i < answers.Count; ++i)
        best = std::max<int>(best, Wrap16(-staticEval + opponentGains[answers.Cells[i]]));
    EXPECT_EQ(2u + answers.Count, call.search.NodeCount);
    EXPECT_EQ(Negate(static_cast<Score>(std::clamp(best, -29998, 29998))), value);
}

TEST(LeafNodeTest, EngineReplyMakingAnOpenFourWins) {
    NodeCall call(EngineWinsPosition());
    // Whatever the opponent plays far away, the engine's open four answers it.
    EXPECT_EQ(29996, call.OpponentLeaf(CellAt(5, 3)));
    EXPECT_TRUE(call.ModelRestored());
}

TEST(SearchNodeTest, DoubleFourReturnsAtOnceAndIsSeenAsAWinAbove) {
    NodeCall call(EngineWinsPosition());
    for (int iteration : {0, 1, 3}) {
        call.search.NodeCount = 0;
        EXPECT_EQ(-29997, call.EngineNode(iteration, CellAt(11, 10)));
        EXPECT_EQ(1u, call.search.NodeCount);
        EXPECT_TRUE(call.ModelRestored());
    }
}

TEST(SearchNodeTest, SharedStateIsRestoredAfterDeepSearches) {
    NodeCall call(RandomGame(77, 14));
    for (int iteration : {0, 1, 2}) {
        const Score value = call.EngineNode(iteration, call.candidates.Cells[iteration]);
        EXPECT_GT(value, -29998);
        EXPECT_LT(value, 29998);
        EXPECT_TRUE(call.ModelRestored());
    }
}

}  // namespace
}  // namespace tarn::testing
