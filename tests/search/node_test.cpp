#include <algorithm>
#include <cstring>

#include "search/node.h"
#include "search_fixture.h"

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
    CellScores engineGains, opponentGains;
    CandidateList candidates;
    Score staticEval;
    uint8_t neighbours[CellCount];
    WindowState windows[WindowCount];

    NodeCall() {
        staticEval = BuildModel(Game.Board, engineGains, opponentGains, candidates);
        std::memcpy(neighbours, NeighbourCount, sizeof neighbours);
        std::memcpy(windows, WindowStates, sizeof windows);
    }

    bool SharedStateRestored() const {
        return std::memcmp(neighbours, NeighbourCount, sizeof neighbours) == 0 &&
               std::memcmp(windows, WindowStates, sizeof windows) == 0;
    }

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
        Game.Board[cell] = OpponentStone;
        const Score result = LeafNode(alpha, beta, PositionOf(cell),
                                      Wrap16(staticEval - opponentGains[cell]), next, mover, list);
        Game.Board[cell] = EmptyCell;
        return result;
    }

    // The engine plays `cell`, searched by the node chain entry of `iteration`.
    Score EngineNode(int iteration, CellIndex cell, Score alpha = -31000, Score beta = 31000) {
        CellScores next = opponentGains, mover = engineGains;
        CandidateList list = candidates;
        Game.Board[cell] = EngineStone;
        const Score result =
            NodeByDepth[iteration](alpha, beta, PositionOf(cell),
                                   Wrap16(-(staticEval + engineGains[cell])), next, mover, list);
        Game.Board[cell] = EmptyCell;
        return result;
    }
};

TEST(LeafNodeTest, OpponentOpenFourIsLostWithoutAnyReply) {
    SetBoard({{8, 10, 2}, {9, 10, 2}, {10, 10, 2}, {9, 12, 1}, {10, 13, 1}, {11, 12, 1}});
    NodeCall call;
    NodeCount = 0;
    EXPECT_EQ(-29997, call.OpponentLeaf(CellAt(11, 10)));
    EXPECT_EQ(1u, NodeCount);
    EXPECT_TRUE(call.SharedStateRestored());
}

TEST(LeafNodeTest, OpponentFourHasExactlyTheBlockAsReply) {
    // After (11,10) the opponent's broken four 7,8,_,10,11 on row 10 is completed only at (9,10).
    SetBoard({{7, 10, 2}, {8, 10, 2}, {10, 10, 2}, {3, 3, 1}, {15, 15, 1}, {3, 15, 1}});
    NodeCall call;
    NodeCount = 0;
    const Score value = call.OpponentLeaf(CellAt(11, 10));
    EXPECT_TRUE(call.SharedStateRestored());

    // The one reply is the block; with an open window the opponent's answers are all scanned:
    // every empty cell near a stone once both stones stand.
    Game.Board[CellAt(11, 10)] = OpponentStone;
    Game.Board[CellAt(9, 10)] = EngineStone;
    CellScores engineGains, opponentGains;
    CandidateList answers;
    const Score staticEval = BuildModel(Game.Board, engineGains, opponentGains, answers);
    int best = -31000;
    for (int i = 0; i < answers.Count; ++i)
        best = std::max<int>(best, Wrap16(-staticEval + opponentGains[answers.Cells[i]]));
    EXPECT_EQ(2u + answers.Count, NodeCount);
    EXPECT_EQ(Negate(static_cast<Score>(std::clamp(best, -29998, 29998))), value);
}

TEST(LeafNodeTest, EngineReplyMakingAnOpenFourWins) {
    SetBoard({{8, 10, 1}, {9, 10, 1}, {10, 10, 1}, {9, 9, 2}, {12, 14, 2}, {3, 3, 2}});
    NodeCall call;
    // Whatever the opponent plays far away, the engine's open four answers it.
    EXPECT_EQ(29996, call.OpponentLeaf(CellAt(5, 3)));
    EXPECT_TRUE(call.SharedStateRestored());
}

TEST(SearchNodeTest, DoubleFourReturnsAtOnceAndIsSeenAsAWinAbove) {
    SetBoard({{8, 10, 1}, {9, 10, 1}, {10, 10, 1}, {9, 9, 2}, {12, 14, 2}, {3, 3, 2}});
    NodeCall call;
    for (int iteration : {0, 1, 3}) {
        NodeCount = 0;
        EXPECT_EQ(-29997, call.EngineNode(iteration, CellAt(11, 10)));
        EXPECT_EQ(1u, NodeCount);
        EXPECT_TRUE(call.SharedStateRestored());
    }
}

TEST(SearchNodeTest, SharedStateIsRestoredAfterDeepSearches) {
    SetRandomPosition(77, 14);
    NodeCall call;
    const Stone* board = Game.Board;
    Stone before[CellCount];
    std::memcpy(before, board, CellCount);
    for (int iteration : {0, 1, 2}) {
        const Score value = call.EngineNode(iteration, call.candidates.Cells[iteration]);
        EXPECT_GT(value, -29998);
        EXPECT_LT(value, 29998);
        EXPECT_TRUE(call.SharedStateRestored());
        EXPECT_EQ(0, std::memcmp(before, board, CellCount));
    }
}

}  // namespace
}  // namespace tarn::testing
