// The alpha-beta nodes of the search. Each remaining depth D has its own routine, fixed when the
// program is built: odd D searches after a move of the engine, even D after a move of the
// opponent; D = 2 is the leaf node and D = 1 the leaf reply, which end every line of the search.
#pragma once

#include <array>
#include <cstdint>

#include "game/model.h"
#include "game/path_namespace.h"
#include "search/depth.h"
#include "search/search_path.h"
#include "search/search_state.h"

namespace tarn {

inline constexpr int SortMovesDepth = 2;  // nodes from this depth up sort their further children
inline constexpr int NFirstMaxMoves = 1;  // children picked by a plain maximum scan before sorting
inline constexpr int CheckTimeoutDepth = 3;  // nodes from this depth up test the clock

// The value of a position whose side to move faces two fours it cannot both block: lost two
// plies later.
inline constexpr Score DoubleFourScore = -(FiveValue - 2);

// Every node takes: the window (alpha, beta) seen by the side to move next; the position of its
// own move's cell in `candidates`; the static evaluation after that move, seen by the side to
// move next; the gains of the side to move next and of the mover; and the candidate list as the
// caller held it. The arrays are the caller's copies, changed freely and dropped afterwards.
// The mover's stone is already on the search's board. The result is seen by the side to move
// next. The node changes the search's model and restores it before it returns.
using NodeFunction = Score (*)(SearchState& search, Score alpha, Score beta, int pos, Score base,
                               CellScores& nextGains, CellScores& moverGains,
                               CandidateList& candidates);

// The engine-move entries of a node chain, one for each iteration: remaining depth NodeDepth(d).
using NodeChain = std::array<NodeFunction, MaxIterations>;

// The node chain compiled for a search path; the base path's for a path this build lacks.
const NodeChain& NodeChainOf(SearchPath path);

inline namespace TARN_PATH_NAMESPACE {

constexpr Score Negate(Score score) {
    return Wrap16(-score);
}

// A win one ply farther away is worth one point less: bounds move away from zero on the way
// down, results towards zero on the way up. The open bounds (and the time-out value) stay put.
constexpr Score AdjustBound(Score bound) {
    if (bound == InfiniteScore || bound == -InfiniteScore) return bound;
    if (bound >= WinThreshold) return static_cast<Score>(bound + 1);
    if (bound <= -WinThreshold) return static_cast<Score>(bound - 1);
    return bound;
}

constexpr Score AdjustResult(Score result) {
    if (result == InfiniteScore || result == -InfiniteScore) return result;
    if (result >= WinThreshold) return static_cast<Score>(result - 1);
    if (result <= -WinThreshold) return static_cast<Score>(result + 1);
    return result;
}

// This path's node chain.
extern const NodeChain NodeByDepth;

// The last two plies, exposed for tests.
Score LeafNode(SearchState& search, Score alpha, Score beta, int pos, Score base,
               CellScores& nextGains, CellScores& moverGains, CandidateList& candidates);
// The leaf reply takes the opponent's gains before the reply (the leaf node's own, not a copy)
// and the leaf node's list, and changes neither. Only the upper bound matters to it: it stops at
// the first answer worth beta or more.
Score LeafReply(SearchState& search, Score beta, int pos, Score base, const CellScores& gains,
                const CandidateList& candidates);

}  // namespace TARN_PATH_NAMESPACE
}  // namespace tarn
