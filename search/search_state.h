// Everything one search changes while it runs. A search owns its state outright, so two searches
// can run side by side, and the game record it was started from is never touched.
#pragma once

#include <cstdint>
#include <limits>

#include "game/model.h"
#include "search/time_control.h"

namespace tarn {

// The node count a search without a node limit never reaches.
inline constexpr uint64_t NoNodeLimit = std::numeric_limits<uint64_t>::max();

struct SearchState {
    ModelState Model;        // the board with the trial stones, window states, neighbour counts
    uint64_t NodeCount = 0;  // every node entered and every answer a leaf reply scans
    // The node count at which the search stops as it does when the time is up. NodeCount starts
    // from 0 in every iteration, while the turn's node limit counts every iteration: the root
    // sets this to the limit less the nodes of the iterations before.
    uint64_t StopNodeCount = NoNodeLimit;
    TimeBudget Budget;
};

// The windows under which a node's search would take exactly the same course, every value and
// node count the same: alpha from AlphaMin to AlphaMax and beta from BetaMin to BetaMax, the ends
// included. A side without an end has OpenRange there.
inline constexpr Score OpenRange = 32000;
struct WindowRange {
    Score AlphaMin = -OpenRange, AlphaMax = OpenRange, BetaMin = -OpenRange, BetaMax = OpenRange;
};

// A search whose nodes also work out their ranges: each node leaves its own in Range as it
// returns, where its caller reads it at once (the threads of a parallel search, which keep the
// results of the lines they searched to take them again: search/searched_lines.h).
struct TrackingState : SearchState {
    WindowRange Range;
};

inline namespace TARN_PATH_NAMESPACE {

// Whether the search must stop: on one thread, when the turn's nodes reach its node limit or
// the time is up. Neither count goes back, so every stop test after the first that stops finds
// the same.
inline bool ShouldStop(const SearchState& search) {
    return search.NodeCount >= search.StopNodeCount || search.Budget.OutOfTime();
}

}  // namespace TARN_PATH_NAMESPACE

}  // namespace tarn
