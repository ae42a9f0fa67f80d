// The position of the current game and the little the engine remembers of how it came about.
// The protocol owns it; the search gets a copy of the board and never writes the record.
#pragma once

#include <cstdint>
#include <vector>

#include "game/types.h"

namespace tarn {

struct GameState {
    bool Initialized = false;            // set by the first START, never cleared again
    int32_t MoveNumber = 0;              // 1 after START, one more for every stone placed
    std::vector<CellIndex> MoveHistory;  // every stone placed since the last START
    alignas(CacheLineBytes) Stone Board[CellCount] = {};

    // Begins a new, empty game. Keeps the history's storage, so later games do not allocate.
    void Reset();

    // A cell can take a stone only if it is on the board and empty. Any index outside 0..399,
    // negative ones and NoCell included, fails.
    bool IsFreeCell(int cell) const {
        return static_cast<unsigned>(cell) < static_cast<unsigned>(CellCount) &&
               Board[cell] == EmptyCell;
    }

    // Puts a stone on a cell that passed IsFreeCell and records it.
    void Place(CellIndex cell, Stone stone);
};

}  // namespace tarn
