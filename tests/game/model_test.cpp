#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "game/model.h"
#include "tests/support/boards.h"

namespace tarn {
namespace {

using testing::At;
using testing::BoardOf;
using testing::Point;

struct Model {
    ModelState State;
    CellScores EngineGains, OpponentGains;
    CandidateList Candidates;
    Score StaticEval;

    explicit Model(const testing::TestBoard& board) : State(testing::ModelWith(board)) {
        // Garbage everywhere, so that a model that forgets to clear something shows it.
        for (auto& v : EngineGains.Values) v = 777;
        for (auto& v : OpponentGains.Values) v = 777;
        for (auto& c : Candidates.Cells) c = 777;
        Candidates.Count = 777;
        StaticEval = BuildModel(State, EngineGains, OpponentGains, Candidates);
    }

    std::vector<CellIndex> CandidateCells() const {
        return std::vector<CellIndex>(Candidates.Cells, Candidates.Cells + Candidates.Count);
    }
};

struct DeltaRow {
    Score Other, Own;
};

// The only non-zero entries, indexed by the window state after the stone.
const std::map<int, DeltaRow> EngineDeltaRows = {{6, {0, 2}},       {12, {3, 4}},  {18, {7, 25}},
                                                 {24, {32, 29925}}, {7, {-3, -1}}, {8, {-7, -4}},
                                                 {9, {-32, -11}}};
const std::map<int, DeltaRow> OpponentDeltaRows = {{1, {0, 2}},      {2, {3, 4}},   {3, {7, 25}},
                                                   {4, {32, 29925}}, {7, {-3, -1}}, {13, {-7, -4}},
                                                   {19, {-32, -11}}};

// Dead slots (from DeadWindowState up) must change nothing.
void ExpectDeltaTable(const StoneDelta& delta, const std::map<int, DeltaRow>& rows) {
    for (int state = 0; state < StateTableSize; ++state) {
        const auto row = rows.find(state);
        const DeltaRow expected = row == rows.end() ? DeltaRow{0, 0} : row->second;
        EXPECT_EQ(delta.Other[state], expected.Other) << "state " << state;
        EXPECT_EQ(delta.Own[state], expected.Own) << "state " << state;
    }
}

TEST(Model, StoneDeltaTables) {
    ExpectDeltaTable(EngineStoneDelta, EngineDeltaRows);
    ExpectDeltaTable(OpponentStoneDelta, OpponentDeltaRows);
}

TEST(Model, EmptyBoard) {
    Model model(BoardOf({}));
    EXPECT_EQ(model.StaticEval, 0);
    EXPECT_EQ(model.Candidates.Count, 0);
    for (CellIndex c : model.Candidates.Cells) EXPECT_EQ(c, 0);
    for (int w = 0; w < WindowCount; ++w)
        EXPECT_EQ(model.State.WindowStates[LineSlots.WindowSlots[w]], 0);
    for (int cell = 0; cell < CellCount; ++cell) {
        int runs = 0;  // every run of five through the cell is worth 1 to either side
        testing::ForEachRunThrough(cell, [&](const CellIndex*) { ++runs; });
        EXPECT_EQ(model.EngineGains[cell], runs) << "cell " << cell;
        EXPECT_EQ(model.OpponentGains[cell], runs) << "cell " << cell;
        EXPECT_EQ(model.State.NeighbourCount[NeighbourIndexOf(cell)], 0);
    }
    EXPECT_EQ(model.EngineGains[At({10, 10})], 20);
    EXPECT_EQ(model.EngineGains[At({0, 0})], 3);
}

TEST(Model, SingleEngineStone) {
    Model model(BoardOf({{10, 10, 1}}));
    EXPECT_EQ(model.StaticEval, 20);
    std::vector<CellIndex> expected;
    for (int y = 8; y <= 12; ++y)
        for (int x = 8; x <= 12; ++x)
            if (x != 10 || y != 10) expected.push_back(CellAt(x, y));
    EXPECT_EQ(model.CandidateCells(), expected);
    for (Point p : {Point{11, 10}, Point{11, 11}, Point{10, 9}})
        EXPECT_EQ(model.EngineGains[At(p)], 28) << p.X << "," << p.Y;
    EXPECT_EQ(model.EngineGains[At({12, 10})], 26);
    EXPECT_EQ(model.EngineGains[At({12, 11})], 20);
    EXPECT_EQ(model.EngineGains[At({15, 10})], 20);
    for (Point p :
         {Point{11, 10}, Point{11, 11}, Point{10, 9}, Point{12, 10}, Point{12, 11}, Point{15, 10}})
        EXPECT_EQ(model.OpponentGains[At(p)], 20) << p.X << "," << p.Y;
}

TEST(Model, ThreeEngineStonesInARow) {
    Model model(BoardOf({{10, 10, 1}, {11, 10, 1}, {12, 10, 1}}));
    EXPECT_EQ(model.StaticEval, 88);
    EXPECT_EQ(model.EngineGains[At({9, 10})], 90);
    EXPECT_EQ(model.EngineGains[At({13, 10})], 90);
    EXPECT_EQ(model.EngineGains[At({14, 10})], 59);
    EXPECT_EQ(model.OpponentGains[At({9, 10})], 43);
    EXPECT_EQ(model.OpponentGains[At({13, 10})], 43);
}

// The same patterns for the opponent: its evaluation is the mirror image of the engine's.
TEST(Model, ThreeOpponentStonesMirrorTheEngine) {
    Model model(BoardOf({{10, 10, 2}, {11, 10, 2}, {12, 10, 2}}));
    EXPECT_EQ(model.StaticEval, -88);
    EXPECT_EQ(model.OpponentGains[At({9, 10})], 90);
    EXPECT_EQ(model.OpponentGains[At({14, 10})], 59);
    EXPECT_EQ(model.EngineGains[At({13, 10})], 43);
}

// Puts a stone of side S on the board and applies it to the model, as a search node does.
template <Side S>
FourCell Play(Model& model, Point p) {
    model.State.Board[At(p)] = static_cast<Stone>(S);
    if constexpr (S == Side::Engine)
        return PlaceStone<S>(model.State, At(p), model.OpponentGains, model.EngineGains);
    else
        return PlaceStone<S>(model.State, At(p), model.EngineGains, model.OpponentGains);
}

TEST(Model, OpenFourIsADoubleFour) {
    Model engine(BoardOf({{10, 10, 1}, {11, 10, 1}, {12, 10, 1}}));
    EXPECT_EQ(Play<Side::Engine>(engine, {13, 10}), DoubleFour);
    EXPECT_EQ(engine.EngineGains[At({9, 10})], 30015);
    EXPECT_EQ(engine.EngineGains[At({14, 10})], 30015);

    Model opponent(BoardOf({{10, 10, 2}, {11, 10, 2}, {12, 10, 2}}));
    EXPECT_EQ(Play<Side::Opponent>(opponent, {13, 10}), DoubleFour);
    EXPECT_EQ(opponent.OpponentGains[At({9, 10})], 30015);
    EXPECT_EQ(opponent.OpponentGains[At({14, 10})], 30015);
}

TEST(Model, BrokenFourHasOneCompletionCell) {
    Model engine(BoardOf({{10, 10, 1}, {11, 10, 1}, {13, 10, 1}}));
    EXPECT_EQ(Play<Side::Engine>(engine, {14, 10}), At({12, 10}));
    EXPECT_EQ(engine.EngineGains[At({12, 10})], 30050);

    Model opponent(BoardOf({{10, 10, 2}, {11, 10, 2}, {13, 10, 2}}));
    EXPECT_EQ(Play<Side::Opponent>(opponent, {14, 10}), At({12, 10}));
    EXPECT_EQ(opponent.OpponentGains[At({12, 10})], 30050);
}

// Two windows of one line can need the same empty cell: X X + _ X X. That is one four.
TEST(Model, TwoWindowsSharingTheCompletionCellAreOneFour) {
    Model model(BoardOf({{8, 10, 1}, {9, 10, 1}, {12, 10, 1}, {13, 10, 1}}));
    EXPECT_EQ(Play<Side::Engine>(model, {10, 10}), At({11, 10}));
}

// A four whose fifth cell is taken by the other side is no four, and a stone that does not
// complete a four reports none even when a four stands elsewhere on the board.
TEST(Model, BlockedAndOldFoursAreNotReported) {
    Model model(BoardOf({{10, 10, 1},
                         {11, 10, 1},
                         {12, 10, 1},
                         {3, 3, 1},
                         {3, 4, 1},
                         {3, 5, 1},
                         {3, 6, 1},
                         {9, 10, 2},
                         {14, 10, 2}}));
    EXPECT_EQ(Play<Side::Engine>(model, {13, 10}), NoFour);
    EXPECT_EQ(Play<Side::Opponent>(model, {15, 15}), NoFour);
    EXPECT_EQ(Play<Side::Engine>(model, {16, 16}), NoFour);
}

// Taking stones back in reverse order restores the window states exactly.
TEST(Model, UnplaceStoneRestoresWindowStates) {
    Model model(BoardOf({{10, 10, 1}, {11, 11, 1}, {12, 12, 2}}));
    const auto& states = model.State.WindowStates;
    const std::vector<WindowState> before(std::begin(states), std::end(states));
    Play<Side::Engine>(model, {9, 9});
    Play<Side::Opponent>(model, {0, 0});
    UnplaceStone<Side::Opponent>(model.State, At({0, 0}));
    UnplaceStone<Side::Engine>(model.State, At({9, 9}));
    EXPECT_EQ(std::vector<WindowState>(std::begin(states), std::end(states)), before);
}

// The list loses the played cell (the last entry moves into its slot) and gains, at its end and
// in neighbourhood order, the empty cells that were out of reach; ReleaseNeighbours undoes the
// counts.
TEST(Model, RemoveAndExpandKeepsTheListOrder) {
    Model model(BoardOf({{10, 10, 1}}));
    const auto& neighbourCount = model.State.NeighbourCount;
    const std::vector<uint8_t> counts(std::begin(neighbourCount), std::end(neighbourCount));
    std::vector<CellIndex> expected = model.CandidateCells();
    const int position = 0;  // (8,8)
    ASSERT_EQ(expected[position], At({8, 8}));
    expected[position] = expected.back();
    expected.pop_back();
    for (Point p : {Point{6, 6}, Point{6, 7}, Point{6, 8}, Point{6, 9}, Point{6, 10}, Point{7, 6},
                    Point{7, 7}, Point{7, 8}, Point{7, 9}, Point{7, 10}, Point{8, 6}, Point{8, 7},
                    Point{9, 6}, Point{9, 7}, Point{10, 6}, Point{10, 7}})
        expected.push_back(At(p));
    model.State.Board[At({8, 8})] = EngineStone;
    RemoveAndExpand(model.State, model.Candidates, position);
    EXPECT_EQ(model.CandidateCells(), expected);
    EXPECT_EQ(neighbourCount[NeighbourIndexOf(At({10, 10}))], 2);  // itself and (8,8)
    EXPECT_EQ(neighbourCount[NeighbourIndexOf(At({9, 9}))], 2);
    ReleaseNeighbours(model.State, At({8, 8}));
    EXPECT_EQ(std::vector<uint8_t>(std::begin(neighbourCount), std::end(neighbourCount)), counts);
}

}  // namespace
}  // namespace tarn
