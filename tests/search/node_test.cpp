#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

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

    // The engine plays `cell`, searched by the first iteration's node on `tracked`, a search of
    // the same position that works out the node's range.
    Score TrackedEngineNode(TrackingState& tracked, CellIndex cell, Score alpha, Score beta) {
        CellScores next = opponentGains, mover = engineGains;
        CandidateList list = candidates;
        tracked.Model.Board[cell] = EngineStone;
        const Score result =
            TrackedNode(tracked, alpha, beta, PositionOf(cell),
                        Wrap16(-(staticEval + engineGains[cell])), next, mover, list);
        tracked.Model.Board[cell] = EmptyCell;
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

// A node's range holds what it says: under every window in it the one-thread node takes the same
// course, to the same value with the same nodes. The windows run through plain scores and the
// steps of AdjustBound at the forced results, and each range is tried at its very ends too. The
// ranges are as wide as they were found to be: they hold 31 964 windows other than their own, of
// which 1 464 are there because a leaf reply stopped by its first answer has no lower end.
TEST(TrackedNodeTest, EveryWindowInTheRangeGivesTheSameSearch) {
    const Score ends[] = {-31000, -29001, -120, -30, -9, 0, 4, 18, 70, 29000, 31000};
    auto clampEnd = [](Score end) { return std::clamp<Score>(end, -31000, 31000); };
    int others = 0;
    const TestBoard boards[] = {RandomGame(77, 14), RandomGame(91, 14), RandomGame(5, 20, true),
                                EngineWinsPosition(), EngineLosesPosition()};
    for (int board = 0; board < 5; ++board) {
        NodeCall call(boards[board]);
        TrackingState tracked;
        tracked.Model = call.search.Model;
        for (int m = 0; m < 3; ++m) {
            const CellIndex cell = call.candidates.Cells[m];
            for (Score alpha : ends)
                for (Score beta : ends) {
                    if (alpha >= beta) continue;
                    tracked.NodeCount = 0;
                    const Score value = call.TrackedEngineNode(tracked, cell, alpha, beta);
                    const WindowRange range = tracked.Range;
                    const uint64_t nodes = tracked.NodeCount;
                    ASSERT_TRUE(alpha >= range.AlphaMin && alpha <= range.AlphaMax &&
                                beta >= range.BetaMin && beta <= range.BetaMax);
                    std::vector<Score> alphas(std::begin(ends), std::end(ends)), betas = alphas;
                    alphas.insert(alphas.end(),
                                  {clampEnd(range.AlphaMin), clampEnd(range.AlphaMax)});
                    betas.insert(betas.end(), {clampEnd(range.BetaMin), clampEnd(range.BetaMax)});
                    for (Score a : alphas)
                        for (Score b : betas) {
                            if (a >= b || a < range.AlphaMin || a > range.AlphaMax ||
                                b < range.BetaMin || b > range.BetaMax)
                                continue;
                            SCOPED_TRACE(::testing::Message()
                                         << "board " << board << ", move " << m << ", window ("
                                         << alpha << ", " << beta << ") then (" << a << ", " << b
                                         << ")");
                            call.search.NodeCount = 0;
                            EXPECT_EQ(value, call.EngineNode(0, cell, a, b));
                            EXPECT_EQ(nodes, call.search.NodeCount);
                            others += a != alpha || b != beta;
                        }
                }
        }
        EXPECT_TRUE(SameModel(call.before, tracked.Model));
    }
    EXPECT_GE(others, 31964);
}

}  // namespace
}  // namespace tarn::testing
