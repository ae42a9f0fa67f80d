// Everything one search changes while it runs. A search owns its state outright, so two searches
// can run side by side, and the game record it was started from is never touched.
#pragma once

#include <cstdint>

#include "game/model.h"
#include "search/time_control.h"

namespace tarn {

struct SearchState {
    ModelState Model;        // the board with the trial stones, window states, neighbour counts
    uint64_t NodeCount = 0;  // every node entered and every answer a leaf reply scans
    TimeBudget Budget;
};

inline namespace TARN_PATH_NAMESPACE {

// Whether the search must stop: on one thread, only when the time is up.
inline bool ShouldStop(const SearchState& search) {
    return search.Budget.OutOfTime();
}

}  // namespace TARN_PATH_NAMESPACE

}  // namespace tarn
