#include <gtest/gtest.h>

#include "game/game_state.h"

namespace tarn {
namespace {

TEST(GameState, ResetStartsAnEmptyGameAndPlaceRecordsStones) {
    GameState state;
    EXPECT_FALSE(state.Initialized);
    EXPECT_EQ(state.MoveNumber, 0);
    state.Reset();
    state.Place(189, OpponentStone);
    state.Place(190, EngineStone);
    EXPECT_EQ(state.MoveNumber, 3);
    EXPECT_EQ(state.MoveHistory, (std::vector<CellIndex>{189, 190}));
    EXPECT_EQ(state.Board[189], OpponentStone);

    state.Reset();
    EXPECT_TRUE(state.Initialized);
    EXPECT_EQ(state.MoveNumber, 1);
    EXPECT_TRUE(state.MoveHistory.empty());
    for (Stone s : state.Board) EXPECT_EQ(s, EmptyCell);
}

TEST(GameState, FreeCellTestRejectsOffBoardAndOccupiedCells) {
    GameState state;
    state.Reset();
    state.Place(0, EngineStone);
    state.Place(399, OpponentStone);
    for (int cell : {-1, 400, 32767, 0, 399, -32768}) EXPECT_FALSE(state.IsFreeCell(cell)) << cell;
    for (int cell : {1, 200, 398}) EXPECT_TRUE(state.IsFreeCell(cell)) << cell;
}

}  // namespace
}  // namespace tarn
