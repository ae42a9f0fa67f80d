#include "search/node.h"

#include <utility>

#include "search/ordering.h"

namespace tarn {
inline namespace TARN_PATH_NAMESPACE {

// A node picks its first child by one maximum scan (FirstChild) and then sorts the rest.
static_assert(NFirstMaxMoves == 1);

// One ply of the negamax search after a move at remaining depth D >= 2. It applies the move to
// the model, answers a four with its single forced reply, otherwise searches the replies of the
// side to move in the order and number of the move ordering, puts the shared state back and
// returns the value seen by the side to move next. At D = 2 (the leaf node) each reply is valued
// by a leaf reply that only reads the node's list and gains; from CheckTimeoutDepth up the clock
// is tested after every child, and a time-out returns at once without undoing anything but the
// board.
template <int D>
Score SearchNode(SearchState& search, Score alpha, Score beta, int pos, Score base,
                 CellScores& nextGains, CellScores& moverGains, CandidateList& candidates) {
    // Every node of the chain, the leaf node included, sorts its further children.
    static_assert(D >= SortMovesDepth && D <= MaxSearchDepth);
    constexpr Side mover = D % 2 == 1 ? Side::Engine : Side::Opponent;
    constexpr Stone childStone = static_cast<Stone>(OtherSide(mover));
    ModelState& model = search.Model;

    ++search.NodeCount;
    const CellIndex cell = candidates.Cells[pos];
    const FourCell four = PlaceStone<mover>(model, cell, nextGains, moverGains);
    if (four == DoubleFour) {
        UnplaceStone<mover>(model, cell);
        return AdjustResult(DoubleFourScore);
    }
    RemoveAndExpand(model, candidates, pos);

    CellScores childNext, childMover;
    CandidateList childList;
    auto searchChild = [&](int p) -> Score {
        const CellIndex c = candidates.Cells[p];
        const Score childAlpha = Negate(AdjustBound(beta));
        const Score childBeta = Negate(AdjustBound(alpha));
        const Score childBase = Wrap16(-(nextGains[c] + base));
        model.Board[c] = childStone;
        Score result;
        if constexpr (D == 2) {
            result = LeafReply(search, childBeta, p, childBase, moverGains, candidates);
        } else {
            CopyScores(childNext, moverGains);
            CopyScores(childMover, nextGains);
            CopyCandidates(childList, candidates);
            result = SearchNode<D - 1>(search, childAlpha, childBeta, p, childBase, childNext,
                                       childMover, childList);
        }
        model.Board[c] = EmptyCell;
        return Negate(result);
    };
    auto outOfTime = [&] {
        if constexpr (D >= CheckTimeoutDepth) return search.Budget.OutOfTime();
        return false;
    };

    Score value;
    if (four != NoFour) {
        value = searchChild(PositionOf(candidates, four));
    } else if (candidates.Count == 0) {
        value = 0;  // a full board: nothing left to play
    } else {
        Score best = -InfiniteScore;
        int width = 0;
        bool stopped = false;
        // Books a child's value; true when the node stops with it as its value. The first child
        // always improves on -InfiniteScore, so it always sets the width.
        auto book = [&](Score v) {
            if (v >= beta || ((v > alpha || v > best) && v >= WinThreshold)) {
                value = v;
                return true;
            }
            if (v > alpha) alpha = v;
            if (v > best) {
                best = v;
                width = SearchWidth(v, candidates.Count);
            }
            return false;
        };

        ListKeys keys;
        const int first = FirstChild(candidates, nextGains, keys);
        const Score v = searchChild(first);
        if (outOfTime()) return -InfiniteScore;
        stopped = book(v);
        if (!stopped && width >= 2) {
            ChildOrder(candidates, first, keys);
            for (int p = 1; p < width && p < candidates.Count; ++p) {
                const Score next = searchChild(p);
                if (outOfTime()) return -InfiniteScore;
                if ((stopped = book(next))) break;
            }
        }
        if (!stopped) value = best;
    }

    ReleaseNeighbours(model, cell);
    UnplaceStone<mover>(model, cell);
    return AdjustResult(value);
}

Score LeafNode(SearchState& search, Score alpha, Score beta, int pos, Score base,
               CellScores& nextGains, CellScores& moverGains, CandidateList& candidates) {
    return SearchNode<2>(search, alpha, beta, pos, base, nextGains, moverGains, candidates);
}

namespace {

template <size_t... Iteration>
constexpr std::array<NodeFunction, sizeof...(Iteration)> MakeNodeByDepth(
    std::index_sequence<Iteration...>) {
    return {&SearchNode<NodeDepth(static_cast<int>(Iteration))>...};
}

}  // namespace

const NodeChain NodeByDepth = MakeNodeByDepth(std::make_index_sequence<MaxIterations>{});

}  // namespace TARN_PATH_NAMESPACE
}  // namespace tarn
