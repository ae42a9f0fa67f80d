// The root of the search: chooses the engine's move for a position.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "game/types.h"
#include "search/depth.h"
#include "search/search_path.h"
#include "search/time_control.h"

namespace tarn {

// What one completed iteration found, as its report line shows it.
struct IterationReport {
    int Depth;
    CellIndex BestMove;
    Score BestScore;
    uint64_t Nodes;
    double Seconds;
};

class HelperTeam;

// How far a search may go, and on how many threads. The engine's turn gives the manager's time
// limits and every iteration, or fewer when the manager limits the depth; the bench and the tests
// switch the clock off and stop after a given iteration so that a search is exactly repeatable.
// A node limit makes a search on the clock repeatable too: it stops the search at the first stop
// test at which the turn's nodes, over all its iterations, reach it, exactly as a time-out at
// that test would, so that the move depends only on the position and the limit. Whichever limit
// comes first ends the search. With helper threads the search finds the same results sooner.
struct SearchLimits {
    TimeBudget Time;
    int LastIteration = MaxIterations - 1;
    uint64_t MaxNodes = 0;  // 0: none
    // The instruction set to search with; none: the best this processor has. A path the build or
    // the processor lacks gives way to the base path.
    std::optional<SearchPath> Path = std::nullopt;
    HelperTeam* Threads = nullptr;  // none: the search runs on the caller's thread alone
};

struct SearchResult {
    CellIndex Move = NoCell;
    SearchPath Path = SearchPath::Base;  // the path that searched
    int Iterations = 0;                  // completed and reported iterations
    IterationReport PerIteration[MaxIterations] = {};
    bool TimedOut = false;     // the time or the node limit ran out in the iteration after the
                               // last completed one
    int Accepted = 0;          // root moves that iteration had searched to the end by then
    uint64_t ThrownNodes = 0;  // nodes the helper threads searched on speculation, in vain
    uint64_t ReusedNodes = 0;  // nodes taken from lines searched before instead of searched again
};

// Called after every completed iteration, before the next one starts.
using IterationCallback = std::function<void(const IterationReport&)>;

// Searches the position on `board` with the engine to move, within `limits`, and hands each
// completed iteration to `onIteration` (if any). The board is copied; the search changes only
// its own state. The move is NoCell when there is none to make (a full board).
SearchResult RootSearch(std::span<const Stone, CellCount> board, const SearchLimits& limits,
                        const IterationCallback& onIteration = {});

}  // namespace tarn
