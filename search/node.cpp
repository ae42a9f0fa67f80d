#include "search/node.h"

#include <type_traits>
#include <utility>

#include "search/ordering.h"
#include "search/parallel.h"

namespace tarn {
inline namespace TARN_PATH_NAMESPACE {

// A node picks its first child by one maximum scan (FirstChild) and then sorts the rest.
static_assert(NFirstMaxMoves == 1);

template <int D, typename State>
Score SearchNode(State& search, Score alpha, Score beta, int pos, Score base, CellScores& nextGains,
                 CellScores& moverGains, CandidateList& candidates);

namespace {

// The threads of a parallel search share a node's later children from this depth up; below it a
// child is too small to be worth the hand-over.
template <typename State>
constexpr bool SplitsAt(int depth) {
    return std::is_same_v<State, WorkerState> && depth >= MinSplitDepth;
}

// Whether the nodes work out their ranges: those of a parallel search's threads do.
template <typename State>
constexpr bool Tracks = !std::is_same_v<State, SearchState>;

// Where a child's copies of its node's arrays live while it is searched.
struct ChildArrays {
    CellScores Next, Mover;
    CandidateList List;
};

// One child of a node at remaining depth D: its stone goes on the board, it is searched with the
// window the node's alpha gives it (beta never changes), and its value comes back seen by the
// node's side to move. The node's own arrays are only read.
template <int D, typename State>
inline Score SearchChild(State& search, Score alpha, Score beta, int p, Score base,
                         const CellScores& nextGains, const CellScores& moverGains,
                         const CandidateList& candidates, ChildArrays& child) {
    constexpr Side mover = D % 2 == 1 ? Side::Engine : Side::Opponent;
    constexpr Stone childStone = static_cast<Stone>(OtherSide(mover));
    const CellIndex c = candidates.Cells[p];
    const Score childAlpha = Negate(AdjustBound(beta));
    const Score childBeta = Negate(AdjustBound(alpha));
    const Score childBase = Wrap16(-(nextGains[c] + base));
    search.Model.Board[c] = childStone;
    // The line of a child that may share its children, for foresight.
    uint64_t line = 0;
    if constexpr (SplitsAt<State>(D - 1)) {
        line = search.Line;
        search.Line = ExtendLine(line, c);
    }
    Score result;
    if constexpr (D == 2) {
        result = LeafReplyOf(search, childBeta, p, childBase, moverGains, candidates);
    } else {
        CopyScores(child.Next, moverGains);
        CopyScores(child.Mover, nextGains);
        CopyCandidates(child.List, candidates);
        // Deep enough in a parallel search, the child is a parallel node too; below that, the
        // one-thread node, which works out its range where the search keeps its lines. Without
        // a range the child's window alone is known to give its search.
        auto below = [&]<typename ChildState>(std::type_identity<ChildState>) {
            return SearchNode<D - 1, ChildState>(search, childAlpha, childBeta, p, childBase,
                                                 child.Next, child.Mover, child.List);
        };
        if constexpr (D - 1 >= MinWorkerDepth || !std::is_same_v<State, WorkerState>) {
            result = below(std::type_identity<State>{});
        } else if (search.Shared->KeepsLines) {
            result = below(std::type_identity<TrackingState>{});
        } else {
            result = below(std::type_identity<SearchState>{});
            search.Range = {childAlpha, childAlpha, childBeta, childBeta};
        }
    }
    if constexpr (SplitsAt<State>(D - 1)) search.Line = line;
    search.Model.Board[c] = EmptyCell;
    return Negate(result);
}

// A node at remaining depth D whose later children the threads share: where they are searched
// from, none of which changes during the node's child loop.
template <int D>
class NodeFrame final : public SplitFrame {
public:
    NodeFrame(const CandidateList& candidates, const CellScores& nextGains,
              const CellScores& moverGains, Score base, Score beta, uint64_t line)
        : candidates(candidates),
          nextGains(nextGains),
          moverGains(moverGains),
          base(base),
          beta(beta),
          line(line) {}

    Score SearchChild(WorkerState& worker, int position, Score alpha) const override {
        ChildArrays child;
        worker.Line = line;
        return TARN_PATH_NAMESPACE::SearchChild<D>(worker, alpha, beta, position, base, nextGains,
                                                   moverGains, candidates, child);
    }

private:
    const CandidateList& candidates;
    const CellScores& nextGains;
    const CellScores& moverGains;
    const Score base, beta;
    const uint64_t line;
};

}  // namespace

// One ply of the negamax search after a move at remaining depth D >= 2. It applies the move to
// the model, answers a four with its single forced reply, otherwise searches the replies of the
// side to move in the order and number of the move ordering, puts the shared state back and
// returns the value seen by the side to move next. At D = 2 (the leaf node) each reply is valued
// by a leaf reply that only reads the node's list and gains; from CheckTimeoutDepth up the clock
// is tested after every child, and a time-out returns at once without undoing anything but the
// board. One instance runs on a search of its own (SearchState); the other on a thread of a
// parallel search (WorkerState), where the stop test also sees a time-out or a cancellation found
// by another thread, and where idle threads may take over the later children of a node.
template <int D, typename State>
Score SearchNode(State& search, Score alpha, Score beta, int pos, Score base, CellScores& nextGains,
                 CellScores& moverGains, CandidateList& candidates) {
    // Every node of the chain, the leaf node included, sorts its further children.
    static_assert(D >= SortMovesDepth && D <= MaxSearchDepth);
    constexpr Side mover = D % 2 == 1 ? Side::Engine : Side::Opponent;
    ModelState& model = search.Model;

    // Searched before with a window that gives the same search: its result, and its nodes. (The
    // line is read here: after helping at other split points the thread's line is theirs.)
    const uint64_t nodesBefore = search.NodeCount;
    uint64_t line = 0;
    bool keeps = false;  // this node keeps its line: inside a split child, where the search keeps
    if constexpr (SplitsAt<State>(D)) {
        line = search.Line;
        keeps = search.Child && search.Shared->KeepsLines;
        if (keeps) search.Shared->Lines.Prepare(line);
        if (keeps && search.Child->Again) {
            // Room for the kept nodes: the one-thread search runs through them without a stop
            // only if they leave its count below the stop count.
            const uint64_t room =
                search.StopNodeCount > nodesBefore ? search.StopNodeCount - nodesBefore : 0;
            SearchedLines::Entry found;
            if (search.Shared->Lines.Find(line, alpha, beta, room, found)) {
                // Taken, not searched: no processor's time in a simulation. (As SetNodeCount,
                // which lives outside this path's namespace, so that no copy of it is compiled
                // for one path only.)
                search.AccountedNodes += found.Nodes;
                search.NodeCount = nodesBefore + found.Nodes;
                search.Shared->Reused.fetch_add(found.Nodes, std::memory_order_relaxed);
                search.Range = found.Range;
                return found.Value;
            }
        }
    }

    ++search.NodeCount;
    const CellIndex cell = candidates.Cells[pos];
    const FourCell four = PlaceStone<mover>(model, cell, nextGains, moverGains);
    if (four == DoubleFour) {
        UnplaceStone<mover>(model, cell);
        if constexpr (Tracks<State>) search.Range = WindowRange{};
        return AdjustResult(DoubleFourScore);
    }
    RemoveAndExpand(model, candidates, pos);

    ChildBounds bounds{alpha, beta};
    ChildArrays child;
    WindowRange range;  // tracked: the windows this node's search would not change under
    auto searchChild = [&](int p) -> Score {
        return SearchChild<D>(search, bounds.Alpha, beta, p, base, nextGains, moverGains,
                              candidates, child);
    };
    // Tracked: the range narrowed by the child just searched, before its value is booked; in a
    // parallel search only where it keeps its lines.
    auto narrow = [&](Score v, bool booked) __attribute__((always_inline)) {
        if constexpr (std::is_same_v<State, WorkerState>) {
            if (!search.Shared->KeepsLines) return;
        }
        if constexpr (Tracks<State>)
            NarrowRange<D == 2>(range, search.Range, v, alpha, beta, bounds.Alpha == alpha, booked);
    };
    auto outOfTime = [&] {
        if constexpr (D >= CheckTimeoutDepth) return ShouldStop(search);
        return false;
    };

    Score value;
    if (four != NoFour) {
        value = searchChild(PositionOf(candidates, four));
        narrow(value, false);
    } else if (candidates.Count == 0) {
        value = 0;  // a full board: nothing left to play
    } else {
        bool stopped = false;
        ListKeys keys;
        const int first = FirstChild(candidates, nextGains, keys);
        const Score v = searchChild(first);
        if (outOfTime()) return -InfiniteScore;
        narrow(v, true);
        if ((stopped = BookChild(bounds, v, candidates.Count))) value = v;
        if constexpr (std::is_same_v<State, WorkerState>) {
            if (!stopped) NoteUnresolved(search, D);
        }
        if (!stopped && bounds.Width >= 2) {
            ChildOrder(candidates, first, keys);
            for (int p = 1; p < bounds.Width && p < candidates.Count; ++p) {
                if constexpr (SplitsAt<State>(D)) {
                    if (MaySplit(search) &&
                        (bounds.Alpha == alpha || SharesAfterMovedWindow(search, p, alpha, beta))) {
                        const NodeFrame<D> frame(candidates, nextGains, moverGains, base, beta,
                                                 line);
                        const SplitEnd end =
                            SplitNode(search, frame, candidates.Count, bounds, range, alpha, p, D,
                                      NodeKey(line, alpha, beta));
                        if (end.Aborted) return -InfiniteScore;
                        if ((stopped = end.Stopped)) value = end.Value;
                        break;
                    }
                }
                const Score next = searchChild(p);
                if (outOfTime()) return -InfiniteScore;
                narrow(next, true);
                const Score alphaBefore = bounds.Alpha;
                stopped = BookChild(bounds, next, candidates.Count);
                if constexpr (SplitsAt<State>(D)) {
                    if (RecordsForesight(search))
                        search.Shared->Sight->Note(NodeKey(line, alpha, beta), p,
                                                   bounds.Alpha != alphaBefore);
                }
                if (stopped) {
                    value = next;
                    break;
                }
            }
        }
        if (!stopped) value = bounds.Best;
    }

    ReleaseNeighbours(model, cell);
    UnplaceStone<mover>(model, cell);
    if constexpr (Tracks<State>) search.Range = range;
    // Kept for a search of the line again, unless a forced reply was stopped below (the stop
    // tests of the nodes above find that), which leaves an infinite value.
    if constexpr (SplitsAt<State>(D)) {
        if (keeps && value != InfiniteScore && value != -InfiniteScore)
            search.Shared->Lines.Keep(line, AdjustResult(value), search.NodeCount - nodesBefore,
                                      range);
    }
    return AdjustResult(value);
}

Score LeafNode(SearchState& search, Score alpha, Score beta, int pos, Score base,
               CellScores& nextGains, CellScores& moverGains, CandidateList& candidates) {
    return SearchNode<2>(search, alpha, beta, pos, base, nextGains, moverGains, candidates);
}

Score TrackedNode(TrackingState& search, Score alpha, Score beta, int pos, Score base,
                  CellScores& nextGains, CellScores& moverGains, CandidateList& candidates) {
    return SearchNode<NodeDepth(0)>(search, alpha, beta, pos, base, nextGains, moverGains,
                                    candidates);
}

namespace {

// The entry of a parallel search's chain: too shallow for the parallel nodes, the one-thread one.
template <int D>
Score WorkerNode(WorkerState& search, Score alpha, Score beta, int pos, Score base,
                 CellScores& nextGains, CellScores& moverGains, CandidateList& candidates) {
    using State = std::conditional_t<(D >= MinWorkerDepth), WorkerState, SearchState>;
    return SearchNode<D, State>(search, alpha, beta, pos, base, nextGains, moverGains, candidates);
}

template <size_t... Iteration>
constexpr NodeChain MakeNodeByDepth(std::index_sequence<Iteration...>) {
    return {&SearchNode<NodeDepth(static_cast<int>(Iteration)), SearchState>...};
}

template <size_t... Iteration>
constexpr WorkerNodeChain MakeWorkerNodeByDepth(std::index_sequence<Iteration...>) {
    return {&WorkerNode<NodeDepth(static_cast<int>(Iteration))>...};
}

}  // namespace

const NodeChain NodeByDepth = MakeNodeByDepth(std::make_index_sequence<MaxIterations>{});
const WorkerNodeChain WorkerNodeByDepth =
    MakeWorkerNodeByDepth(std::make_index_sequence<MaxIterations>{});

}  // namespace TARN_PATH_NAMESPACE
}  // namespace tarn
