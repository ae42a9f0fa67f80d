// The alpha-beta nodes of the search. Each remaining depth D has its own routine, fixed when the
// program is built: odd D searches after a move of the engine, even D after a move of the
// opponent; D = 2 is the leaf node and D = 1 the leaf reply, which end every line of the search.
#pragma once

#include <array>
#include <cstdint>

#include "game/model.h"
#include "game/path_namespace.h"
#include "search/depth.h"
#include "search/ordering.h"
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
// One instance of the chain runs on a search of its own (SearchState), the other on a thread of a
// parallel search (WorkerState, search/parallel.h).
template <typename State>
using NodeFunctionOf = Score (*)(State& search, Score alpha, Score beta, int pos, Score base,
                                 CellScores& nextGains, CellScores& moverGains,
                                 CandidateList& candidates);
struct WorkerState;
using NodeFunction = NodeFunctionOf<SearchState>;
using WorkerNodeFunction = NodeFunctionOf<WorkerState>;

// The engine-move entries of a node chain, one for each iteration: remaining depth NodeDepth(d).
using NodeChain = std::array<NodeFunction, MaxIterations>;
using WorkerNodeChain = std::array<WorkerNodeFunction, MaxIterations>;

// The node chains compiled for a search path; the base path's for a path this build lacks.
const NodeChain& NodeChainOf(SearchPath path);
const WorkerNodeChain& WorkerNodeChainOf(SearchPath path);

// What a node's child loop keeps: alpha rises with the children's values while beta stays; the
// width, the number of children examined in all, follows the best value so far (BookChild).
struct ChildBounds {
    Score Alpha, Beta;
    Score Best = -InfiniteScore;
    int Width = 0;
};

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

// A node's range from its child's: the child's bounds are the node's adjusted and negated, so the
// node's bound that gives a child's range end is that end negated, within the plain scores;
// beyond them (where AdjustBound steps), conservatively, the bound the node actually has.
constexpr Score BoundMin(int low, Score actual) {
    if (low <= -OpenRange) return -OpenRange;
    return low > -WinThreshold && low < WinThreshold ? static_cast<Score>(low) : actual;
}
constexpr Score BoundMax(int high, Score actual) {
    if (high >= OpenRange) return OpenRange;
    return high > -WinThreshold && high < WinThreshold ? static_cast<Score>(high) : actual;
}

// Narrows a node's range by the child just searched and its value `v`, as BookChild is about to
// book it. The child's range on its alpha bounds the node's beta; on its beta, the node's alpha,
// as long as no child has raised it (`alphaOwn`): once one has, alpha stays that child's value
// under any window in the range. Booking compares `v` with beta and, while it is the node's own,
// with alpha: each comparison must come out the same. A leaf reply has no range on its alpha.
template <bool ChildAlphaOpen = false>
[[gnu::always_inline]] inline void NarrowRange(WindowRange& range, const WindowRange& child,
                                               Score v, Score alpha, Score beta, bool alphaOwn,
                                               bool booked) {
    auto raise = [](Score& end, Score value) {
        if (value > end) end = value;
    };
    auto lower = [](Score& end, Score value) {
        if (value < end) end = value;
    };
    if constexpr (!ChildAlphaOpen) {
        raise(range.BetaMin, BoundMin(-child.AlphaMax, beta));
        lower(range.BetaMax, BoundMax(-child.AlphaMin, beta));
    }
    if (alphaOwn) {
        raise(range.AlphaMin, BoundMin(-child.BetaMax, alpha));
        lower(range.AlphaMax, BoundMax(-child.BetaMin, alpha));
    }
    if (!booked) return;
    if (v >= beta) {
        lower(range.BetaMax, v);
        return;
    }
    raise(range.BetaMin, static_cast<Score>(v + 1));
    if (alphaOwn) {
        if (v > alpha)
            lower(range.AlphaMax, static_cast<Score>(v - 1));
        else
            raise(range.AlphaMin, v);
    }
}

// Books a child's value; true when the node stops with it as its value (a cut-off, or a forced
// win that improves on the window or on the best so far). The first child always improves on
// -InfiniteScore, so it always sets the width.
[[gnu::always_inline]] inline bool BookChild(ChildBounds& bounds, Score v, int count) {
    if (v >= bounds.Beta || ((v > bounds.Alpha || v > bounds.Best) && v >= WinThreshold))
        return true;
    if (v > bounds.Alpha) bounds.Alpha = v;
    if (v > bounds.Best) {
        bounds.Best = v;
        bounds.Width = SearchWidth(v, count);
    }
    return false;
}

// This path's node chains.
extern const NodeChain NodeByDepth;
extern const WorkerNodeChain WorkerNodeByDepth;

// The last two plies, exposed for tests.
Score LeafNode(SearchState& search, Score alpha, Score beta, int pos, Score base,
               CellScores& nextGains, CellScores& moverGains, CandidateList& candidates);
// The leaf reply takes the opponent's gains before the reply (the leaf node's own, not a copy)
// and the leaf node's list, and changes neither. Only the upper bound matters to it: it stops at
// the first answer worth beta or more. On a TrackingState it leaves its range on beta.
template <typename State>
Score LeafReplyOf(State& search, Score beta, int pos, Score base, const CellScores& gains,
                  const CandidateList& candidates);
inline Score LeafReply(SearchState& search, Score beta, int pos, Score base,
                       const CellScores& gains, const CandidateList& candidates) {
    return LeafReplyOf(search, beta, pos, base, gains, candidates);
}
// The first iteration's engine-move node on a TrackingState, as the threads of a parallel search
// run it below the nodes they share, exposed for tests.
Score TrackedNode(TrackingState& search, Score alpha, Score beta, int pos, Score base,
                  CellScores& nextGains, CellScores& moverGains, CandidateList& candidates);

}  // namespace TARN_PATH_NAMESPACE
}  // namespace tarn
