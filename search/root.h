// The root of the search: chooses the engine's move for the position on the board.
#pragma once

#include <cstdint>
#include <ostream>

#include "game/types.h"

namespace tarn {

inline constexpr int MaxIterations = 20;

// What one completed iteration found, as its report line shows it.
struct IterationReport {
    int Depth;
    CellIndex BestMove;
    Score BestScore;
    uint64_t Nodes;
    double Seconds;
};

// How a search is run. The engine's turn uses the defaults; the bench and the tests switch the
// clock off and stop after a given iteration so that a search is exactly repeatable.
struct SearchOptions {
    int LastIteration = MaxIterations - 1;
    bool UseClock = true;
    std::ostream* Report = nullptr;  // where the report lines go; none when null
};

struct SearchResult {
    CellIndex Move = NoCell;
    int Iterations = 0;  // completed and reported iterations
    IterationReport PerIteration[MaxIterations] = {};
};

// Searches the position on the board of the current game (the engine to move), under the time
// limits of the engine's settings measured from the turn's start. Leaves the board as it was.
SearchResult RunRootSearch(const SearchOptions& options);

// The engine's turn: the move for the current position, reporting each completed iteration on
// `report`. Returns NoCell when there is no move to make (a full board).
CellIndex RootSearch(std::ostream& report);

}  // namespace tarn
