// The incremental model against a fresh BuildModel. Random boards are walked by random lines of
// trial stones, applied and taken back exactly as the search does; after every step the
// incremental state must equal what BuildModel derives from the board as it then stands.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "game/model.h"
#include "tests/support/boards.h"

namespace tarn {
namespace {

using testing::RandomBoard;

int SideIndex(Side side) {
    return side == Side::Engine ? 0 : 1;
}

// What one search level holds: both gain arrays, its candidate list and its base, the static
// evaluation seen from the side to move.
struct Frame {
    CellScores Gains[2];
    CandidateList Candidates;
    Score Base;
};

FourCell Place(ModelState& model, Side side, CellIndex cell, CellScores& nextGains,
               CellScores& moverGains) {
    return side == Side::Engine ? PlaceStone<Side::Engine>(model, cell, nextGains, moverGains)
                                : PlaceStone<Side::Opponent>(model, cell, nextGains, moverGains);
}

void Unplace(ModelState& model, Side side, CellIndex cell) {
    if (side == Side::Engine)
        UnplaceStone<Side::Engine>(model, cell);
    else
        UnplaceStone<Side::Opponent>(model, cell);
}

class ModelWalk {
public:
    explicit ModelWalk(unsigned seed) : rng_(seed) {}

    int Placements = 0, SingleFours = 0, DoubleFours = 0, FivesMade = 0;

    // Builds the model of the board and walks a random tree of trial lines from it.
    void WalkBoard(const testing::TestBoard& board) {
        model_ = testing::ModelWith(board);
        Frame root;
        const Score eval = BuildModel(model_, root.Gains[0], root.Gains[1], root.Candidates);
        const Side first = Below(2) == 0 ? Side::Engine : Side::Opponent;
        root.Base = first == Side::Engine ? eval : Wrap16(-eval);
        Descend(root, first, 1 + Below(8));
    }

private:
    std::mt19937 rng_;
    ModelState model_;

    int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    // The position in the list of the cell to play: often the mover's best gain (which makes
    // fours and double fours), sometimes the other side's best (a block), otherwise any.
    int ChoosePosition(const Frame& frame, Side mover) {
        const int count = frame.Candidates.Count;
        const int r = Below(10);
        if (r >= 5) return Below(count);
        const CellScores& gains = frame.Gains[SideIndex(r < 4 ? mover : OtherSide(mover))];
        int best = 0;
        for (int i = 1; i < count; ++i)
            if (gains[frame.Candidates.Cells[i]] > gains[frame.Candidates.Cells[best]]) best = i;
        return best;
    }

    void Descend(const Frame& frame, Side mover, int depthLeft) {
        const int children = Below(3) == 0 ? 2 : 1;
        for (int child = 0; child < children; ++child) {
            if (frame.Candidates.Count == 0) return;
            const int position = ChoosePosition(frame, mover);
            const CellIndex cell = frame.Candidates.Cells[position];
            SCOPED_TRACE(::testing::Message() << (mover == Side::Engine ? "engine" : "opponent")
                                              << " stone at " << ColumnOf(cell) << ","
                                              << RowOf(cell) << " (position " << position << ")");
            ASSERT_EQ(model_.Board[cell], EmptyCell);

            const ModelState before = model_;

            Frame next = frame;
            model_.Board[cell] = static_cast<Stone>(mover);
            const FourCell four =
                Place(model_, mover, cell, next.Gains[SideIndex(OtherSide(mover))],
                      next.Gains[SideIndex(mover)]);
            RemoveAndExpand(model_, next.Candidates, position);
            next.Base = Wrap16(-(frame.Base + frame.Gains[SideIndex(mover)][cell]));
            ++Placements;
            SingleFours += four != NoFour && four != DoubleFour;
            DoubleFours += four == DoubleFour;
            FivesMade += frame.Gains[SideIndex(mover)][cell] >= 29957;

            EXPECT_EQ(four, testing::FoursThrough(model_.Board, cell, static_cast<Stone>(mover)));
            ExpectMatchesRebuild(next, OtherSide(mover));
            if (!::testing::Test::HasFailure() && depthLeft > 1)
                Descend(next, OtherSide(mover), depthLeft - 1);

            ReleaseNeighbours(model_, cell);
            Unplace(model_, mover, cell);
            model_.Board[cell] = EmptyCell;
            EXPECT_EQ(0, std::memcmp(before.WindowStates, model_.WindowStates,
                                     sizeof before.WindowStates))
                << "window states not restored";
            EXPECT_EQ(0, std::memcmp(before.NeighbourCount, model_.NeighbourCount,
                                     sizeof before.NeighbourCount))
                << "neighbour counts not restored";
            if (::testing::Test::HasFailure()) return;
        }
    }

    // Compares a level's incremental state with BuildModel on a copy of the current board.
    void ExpectMatchesRebuild(const Frame& frame, Side toMove) {
        const WindowState* states = model_.WindowStates;
        const uint8_t* counts = model_.NeighbourCount;
        ModelState rebuilt = model_;
        Frame fresh;
        const Score eval = BuildModel(rebuilt, fresh.Gains[0], fresh.Gains[1], fresh.Candidates);
        const Score base = toMove == Side::Engine ? eval : Wrap16(-eval);
        EXPECT_EQ(frame.Base, base);
        for (int w = 0; w < WindowCount; ++w)
            if (const int slot = LineSlots.WindowSlots[w];
                states[slot] != rebuilt.WindowStates[slot]) {
                ADD_FAILURE() << "window " << w << " state " << int{states[slot]} << ", rebuilt "
                              << int{rebuilt.WindowStates[slot]};
                break;
            }
        for (int c = 0; c < CellCount; ++c)
            if (const int i = NeighbourIndexOf(c); counts[i] != rebuilt.NeighbourCount[i]) {
                ADD_FAILURE() << "cell " << c << " neighbour count " << int{counts[i]}
                              << ", rebuilt " << int{rebuilt.NeighbourCount[i]};
                break;
            }

        int listed[CellCount] = {};
        for (int i = 0; i < frame.Candidates.Count; ++i) {
            const CellIndex c = frame.Candidates.Cells[i];
            ASSERT_TRUE(c >= 0 && c < CellCount) << "slot " << i << " holds " << c;
            ++listed[c];
        }
        for (int c = 0; c < CellCount; ++c) {
            const bool candidate = model_.Board[c] == EmptyCell && counts[NeighbourIndexOf(c)] > 0;
            if (listed[c] != (candidate ? 1 : 0)) {
                ADD_FAILURE() << "cell " << c << " is listed " << listed[c] << " times";
                break;
            }
            if (model_.Board[c] != EmptyCell) continue;
            for (int side = 0; side < 2; ++side)
                if (frame.Gains[side][c] != fresh.Gains[side][c]) {
                    ADD_FAILURE() << (side == 0 ? "engine" : "opponent") << " gain at cell " << c
                                  << " is " << frame.Gains[side][c] << ", rebuilt "
                                  << fresh.Gains[side][c];
                    c = CellCount;
                    break;
                }
            if (c == CellCount) break;
            const CellScores& gains = frame.Gains[SideIndex(toMove)];
            const CellScores& freshGains = fresh.Gains[SideIndex(toMove)];
            if (Wrap16(frame.Base + gains[c]) != Wrap16(base + freshGains[c])) {
                ADD_FAILURE() << "value of the move at cell " << c << " differs";
                break;
            }
        }
    }
};

TEST(ModelProperty, IncrementalUpdatesMatchARebuild) {
    const unsigned seed = 1208;
    ModelWalk walk(seed);
    std::mt19937 boards(seed);
    int boardsWithFive = 0;
    for (int iteration = 0; iteration < 3000; ++iteration) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " iteration " << iteration);
        const testing::TestBoard board = RandomBoard(boards, iteration % 4 == 0);
        boardsWithFive += testing::HasFive(board.data());
        walk.WalkBoard(board);
        if (HasFailure()) return;
    }
    // The walk must have reached the cases it is meant to guard.
    EXPECT_GT(walk.Placements, 10000);
    EXPECT_GT(walk.SingleFours, 300);
    EXPECT_GT(walk.DoubleFours, 100);
    EXPECT_GT(walk.FivesMade, 100);
    EXPECT_GT(boardsWithFive, 100);
    std::printf(
        "%d placements, %d single fours, %d double fours, %d fives, %d boards with a five\n",
        walk.Placements, walk.SingleFours, walk.DoubleFours, walk.FivesMade, boardsWithFive);
}

}  // namespace
}  // namespace tarn
