// The position of the current game and the little the engine remembers of how it came about,
// together with the settings the manager sends. Both are process-wide: the protocol handlers
// change and print them, and the search reads the board (and puts its trial stones on it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/types.h"

namespace tarn {

struct GameState {
    bool Initialized = false;           // set by the first START, never cleared again
    int32_t MoveNumber = 0;             // 1 after START, one more for every stone placed
    std::vector<CellIndex> MoveHistory; // every stone placed since the last START
    alignas(64) Stone Board[CellCount] = {};
    int64_t TurnStartTime = 0;  // monotonic nanoseconds at the start of the latest engine turn

    // Begins a new, empty game. Keeps the history's storage, so later games do not allocate.
    void Reset();

    // A cell can take a stone only if it is on the board and empty. Any index outside 0..399,
    // negative ones and NoCell included, fails.
    bool IsFreeCell(int cell) const {
        return static_cast<unsigned>(cell) < static_cast<unsigned>(CellCount) && Board[cell] == EmptyCell;
    }

    // Puts a stone on a cell that passed IsFreeCell and records it.
    void Place(CellIndex cell, Stone stone);
};

// The manager's settings, stored by INFO. Only the two time limits steer the engine.
struct Settings {
    int32_t max_memory = 0;
    int32_t game_type = 0;
    int32_t rule = 0;
    int64_t timeout_turn = 5000;  // milliseconds for one move
    int64_t time_left = 120000;   // milliseconds left in the match
    int64_t timeout_match = 120000;
    std::string folder;
};

extern GameState Game;
extern Settings EngineSettings;

}  // namespace tarn
