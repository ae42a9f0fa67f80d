#include "game/game_state.h"

#include <algorithm>

namespace tarn {

void GameState::Reset() {
    MoveNumber = 1;
    MoveHistory.clear();
    std::fill(std::begin(Board), std::end(Board), EmptyCell);
    Initialized = true;
}

void GameState::Place(CellIndex cell, Stone stone) {
    Board[cell] = stone;
    MoveHistory.push_back(cell);
    MoveNumber += 1;
}

}  // namespace tarn
