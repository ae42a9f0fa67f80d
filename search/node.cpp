#include "search/node.h"

#include <utility>

#include "search/ordering.h"
#include "search/time_control.h"

namespace tarn {

uint64_t NodeCount = 0;

// One ply of the negamax search after a move at remaining depth D >= 2. It applies the move to
// the model, answers a four with its single forced reply, otherwise searches the replies of the
// side to move in the order and number of the move ordering, puts the shared state back and
// returns the value seen by the side to move next. At D = 2 (the leaf node) each reply is valued
// by a leaf reply that only reads the node's list and gains; from
// CheckTimeoutDepth up the clock is tested after every child, and a time-out returns at once
// without undoing anything but the board.
template <int D>
Score SearchNode(Score alpha, Score beta, int pos, Score base, CellScores& nextGains,
                 CellScores& moverGains, CandidateList& candidates) {
    static_assert(D >= 2 && D <= MaxSearchDepth);
    constexpr Side mover = D % 2 == 1 ? Side::Engine : Side::Opponent;
    constexpr Stone childStone = static_cast<Stone>(OtherSide(mover));

    ++NodeCount;
    const CellIndex cell = candidates.Cells[pos];
    const FourCell four = PlaceStone<mover>(cell, nextGains, moverGains);
    if (four == DoubleFour) {
        UnplaceStone<mover>(cell);
        return AdjustResult(DoubleFourScore);
    }
    const int receivedCount = candidates.Count;
    RemoveAndExpand(candidates, pos);

    CellScores childNext, childMover;
    CandidateList childList;
    auto searchChild = [&](int p) -> Score {
        const CellIndex c = candidates.Cells[p];
        const Score childAlpha = Negate(AdjustBound(beta));
        const Score childBeta = Negate(AdjustBound(alpha));
        const Score childBase = Wrap16(-(nextGains[c] + base));
        Game.Board[c] = childStone;
        Score result;
        if constexpr (D == 2) {
            result =
                LeafReply(childAlpha, childBeta, p, childBase, moverGains, nextGains, candidates);
        } else {
            childNext = moverGains;
            childMover = nextGains;
            CopyCandidates(childList, candidates);
            result = SearchNode<D - 1>(childAlpha, childBeta, p, childBase, childNext, childMover,
                                       childList);
        }
        Game.Board[c] = EmptyCell;
        return Negate(result);
    };

    Score value;
    if (four != NoFour) {
        value = searchChild(PositionOf(candidates, four));
    } else if (candidates.Count == 0) {
        value = 0;  // a full board: nothing left to play
    } else {
        Score best = -InfiniteScore;
        int width = receivedCount;
        bool stopped = false;
        // Books a child's value; true when the node stops with it as its value.
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
        if constexpr (D >= CheckTimeoutDepth) {
            if (OutOfTime()) return -InfiniteScore;
        }
        stopped = book(v);
        if (!stopped && width >= 2) {
            ChildOrder(candidates, first, keys);
            for (int p = 1; p < width && p < candidates.Count; ++p) {
                const Score next = searchChild(p);
                if constexpr (D >= CheckTimeoutDepth) {
                    if (OutOfTime()) return -InfiniteScore;
                }
                if ((stopped = book(next))) break;
            }
        }
        if (!stopped) value = best;
    }

    ReleaseNeighbours(cell);
    UnplaceStone<mover>(cell);
    return AdjustResult(value);
}

Score LeafNode(Score alpha, Score beta, int pos, Score base, CellScores& nextGains,
               CellScores& moverGains, CandidateList& candidates) {
    return SearchNode<2>(alpha, beta, pos, base, nextGains, moverGains, candidates);
}

namespace {

template <size_t... Iteration>
constexpr std::array<NodeFunction, sizeof...(Iteration)> MakeNodeByDepth(
    std::index_sequence<Iteration...>) {
    return {&SearchNode<2 * static_cast<int>(Iteration) + 3>...};
}

}  // namespace

const std::array<NodeFunction, 20> NodeByDepth = MakeNodeByDepth(std::make_index_sequence<20>{});

}  // namespace tarn
