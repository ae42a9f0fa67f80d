// What the brain remembers between commands: the game being played and the manager's settings.
// The command loop owns one session for the life of the process; every handler works on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "game/game_state.h"
#include "search/root.h"
#include "search/threads.h"

namespace tarn {

// The manager's settings, stored by INFO. The two time limits steer the engine, thread_num the
// number of threads it searches with, and max_depth and max_node, where set, end its search
// before the time does, the node limit at the same point on every machine.
struct Settings {
    int32_t max_memory = 0;
    int32_t game_type = 0;
    int32_t rule = 0;
    int64_t timeout_turn = 5000;  // milliseconds for one move
    int64_t time_left = 120000;   // milliseconds left in the match
    int64_t timeout_match = 120000;
    std::string folder;
    int32_t thread_num = 1;
    int32_t max_depth = 0;  // plies of the deepest iteration; none at 0 or below
    int64_t max_node = 0;   // nodes of one turn; none at 0 or below
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
    // The helper threads of the engine's turns, started on the first turn with thread_num 2 or
    // more; they wait between turns and are stopped with the session.
    std::unique_ptr<SearchThreads> Helpers;
    // The processors the turns' threads may use (0: as many threads as asked for); tests set it.
    int Processors = UsableProcessors();
};

}  // namespace tarn
