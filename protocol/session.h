// What the brain remembers between commands: the game being played and the manager's settings.
// The command loop owns one session for the life of the process; every handler works on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "game/game_state.h"
#include "search/root.h"

namespace tarn {

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

// The search the engine's turn runs. Tests put a recording stand-in here to see exactly what a
// turn hands over.
using SearchFunction =
    std::function<SearchResult(std::span<const Stone, CellCount> board, const SearchLimits& limits,
                               const IterationCallback& onIteration)>;

struct Session {
    GameState Game;
    Settings EngineSettings;
    SearchFunction Search = RootSearch;
};

}  // namespace tarn
