// The evaluation model: a state byte for every five-cell window, the static evaluation that
// sums a value over all windows, and for each side the gain of every cell, the exact change of
// the evaluation if that side plays there. The root builds it once per search; every node then
// applies its move incrementally and takes it back before it returns.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "game/geometry.h"
#include "game/path_namespace.h"
#include "game/types.h"

namespace tarn {

// A window's state counts its stones with these weights: (opponent stones) + 6 * (engine stones).
template <Side S>
inline constexpr int WindowStep = S == Side::Engine ? 6 : 1;
using WindowState = uint8_t;
// Every pair of counts from 0 to 5 has its own state.
inline constexpr int WindowStateCount = WindowStep<Side::Engine> * WindowStep<Side::Engine>;

constexpr int EngineStonesIn(int state) {
    return state / WindowStep<Side::Engine>;
}
constexpr int OpponentStonesIn(int state) {
    return state % WindowStep<Side::Engine>;
}

// The value of a window holding k stones of one side and none of the other.
inline constexpr std::array<Score, 6> WindowValue = {0, 1, 4, 11, 43, FiveValue};

// The value of a window from the engine's side: its stones count for it, the opponent's
// against it, and a window holding both is dead.
constexpr int WindowEval(int state) {
    const int engine = EngineStonesIn(state), opponent = OpponentStonesIn(state);
    if (engine == 0) return -WindowValue[opponent];
    if (opponent == 0) return WindowValue[engine];
    return 0;
}

// Per-cell scores, one per cell. Aligned and of fixed size so that a child copies the whole
// array in one constant-size block.
struct alignas(64) CellScores {
    Score Values[CellCount];

    Score& operator[](int cell) { return Values[cell]; }
    Score operator[](int cell) const { return Values[cell]; }
};

// The empty cells within two rows and two columns of a stone: cells in Cells[0..Count-1],
// entries from Count upwards are stale. The order decides ties in the search.
struct alignas(64) CandidateList {
    CellIndex Cells[CellCount];
    uint16_t Count;
};

inline namespace TARN_PATH_NAMESPACE {

// The widest vector register of the path: 32 bytes with AVX, 16 without.
#ifdef __AVX__
inline constexpr size_t VectorBytes = 32;
#else
inline constexpr size_t VectorBytes = 16;
#endif

// Copies a whole gain array in blocks of the path's vector width, each one load and one store.
// Left alone, the compiler copies the array with a string instruction (rep movsq), which is
// slower at this size.
inline void CopyScores(CellScores& to, const CellScores& from) {
    using Block = int16_t __attribute__((vector_size(VectorBytes), may_alias));
    static_assert(sizeof(CellScores) % sizeof(Block) == 0);
    const Block* source = reinterpret_cast<const Block*>(from.Values);
    Block* target = reinterpret_cast<Block*>(to.Values);
#pragma GCC unroll 64
    for (size_t i = 0; i < sizeof(CellScores) / sizeof(Block); ++i) target[i] = source[i];
}

// Copies the live part of a list: its entries and its count (the stale slots are never read).
inline void CopyCandidates(CandidateList& to, const CandidateList& from) {
    std::memcpy(to.Cells, from.Cells, from.Count * sizeof(CellIndex));
    to.Count = from.Count;
}

}  // namespace TARN_PATH_NAMESPACE

// The result of the four check of one move.
using FourCell = CellIndex;
inline constexpr FourCell NoFour = 32767;      // the move made no four
inline constexpr FourCell DoubleFour = 32000;  // fours that need two different cells to block

// How a stone changes the contributions of a window to the gains of its five cells, indexed by
// the window's state after the stone: Other is added to the gains of the other side, Own to the
// gains of the side that placed it.
struct StoneDelta {
    std::array<Score, WindowStateCount> Other;
    std::array<Score, WindowStateCount> Own;
};

namespace detail {

// The contribution of a window to a side's gain at each of its cells, with `own` stones of that
// side and `other` of the other: the change of that side's value of the window if it adds one.
constexpr int Contribution(int own, int other) {
    if (other == 0) return WindowValue[own + 1] - WindowValue[own];
    if (own == 0) return WindowValue[other];
    return 0;
}

// Each entry is the new contribution minus the old one. A stone that fills the window, and
// states that cannot occur, leave the contributions alone: all five cells are then occupied.
constexpr StoneDelta MakeStoneDelta(Side side) {
    StoneDelta delta{};
    for (int state = 0; state < WindowStateCount; ++state) {
        const int engine = EngineStonesIn(state), opponent = OpponentStonesIn(state);
        const int mover = side == Side::Engine ? engine : opponent;
        const int other = side == Side::Engine ? opponent : engine;
        if (mover == 0 || mover + other >= 5) continue;
        delta.Own[state] = Wrap16(Contribution(mover, other) - Contribution(mover - 1, other));
        delta.Other[state] = Wrap16(Contribution(other, mover) - Contribution(other, mover - 1));
    }
    return delta;
}

}  // namespace detail

inline constexpr StoneDelta EngineStoneDelta = detail::MakeStoneDelta(Side::Engine);
inline constexpr StoneDelta OpponentStoneDelta = detail::MakeStoneDelta(Side::Opponent);

// The window state of four stones of the side and none of the other.
template <Side S>
inline constexpr int FourState = 4 * WindowStep<S>;
template <Side S>
inline constexpr const StoneDelta& DeltaOf =
    S == Side::Engine ? EngineStoneDelta : OpponentStoneDelta;

// What a search changes in place and restores in last-in, first-out order: its own board with
// the trial stones on it, the window states and the neighbour counts. Every search owns one;
// BuildModel derives the states and counts from the board.
struct alignas(64) ModelState {
    // One spare entry past the last window always holds 0 (an empty window), so that loops of
    // fixed length over a cell's windows can be padded with it.
    alignas(64) WindowState WindowStates[WindowCount + 1];
    // For every cell, the number of occupied cells (trial stones included) in its neighbourhood.
    // One more entry past the last cell is a sink that fixed-length loops may count into; it
    // holds a count far from 0, so it never looks like a cell newly brought within reach.
    alignas(64) uint8_t NeighbourCount[CellCount + 1];
    alignas(64) Stone Board[CellCount];
};

inline constexpr int SpareWindow = WindowCount;
inline constexpr int NeighbourSink = CellCount;
inline constexpr uint8_t NeighbourSinkCount = 128;

namespace detail {

template <typename Entry, size_t Length, typename Source>
constexpr std::array<std::array<Entry, Length>, CellCount> Padded(const Source& lists, auto entry,
                                                                  int padding) {
    std::array<std::array<Entry, Length>, CellCount> padded{};
    for (int cell = 0; cell < CellCount; ++cell)
        for (size_t i = 0; i < Length; ++i)
            padded[cell][i] = static_cast<Entry>(
                static_cast<int>(i) < lists[cell].Count ? entry(lists[cell], i) : padding);
    return padded;
}

}  // namespace detail

// A cell's neighbours padded to the largest number with the sink.
inline constexpr auto NeighboursOrSink = detail::Padded<CellIndex, MaxNeighbours>(
    NeighbourList, [](const NeighbourRecord& l, size_t i) { return l.Cells[i]; }, NeighbourSink);

// Derives the whole model from the model's board: sets the window states and neighbour counts,
// fills both gain arrays and the candidate list (in increasing cell order) and returns the static
// evaluation, the sum of the window values from the engine's side, wrapped to 16 bits.
Score BuildModel(ModelState& model, CellScores& engineGains, CellScores& opponentGains,
                 CandidateList& candidates);

inline namespace TARN_PATH_NAMESPACE {

// Adds the four found in a window to what the move has found so far: one completion cell stays
// a single four however many windows share it; a second, different cell makes a double four.
inline FourCell CollectFour(FourCell found, CellIndex cell) {
    if (found == NoFour) return cell;
    return found == cell ? found : DoubleFour;
}

// Applies a stone of side S, already on the board at `cell`, to the window states and to both
// gain arrays, and reports the fours it has made.
template <Side S>
inline FourCell PlaceStone(ModelState& model, CellIndex cell, CellScores& nextGains,
                           CellScores& moverGains) {
    const StoneDelta& delta = DeltaOf<S>;
    FourCell four = NoFour;
    const CellWindowList& windows = CellWindows[cell];
    for (int i = 0; i < windows.Count; ++i) {
        const int w = windows.Windows[i];
        const int state = model.WindowStates[w] += WindowStep<S>;
        const Score other = delta.Other[state], own = delta.Own[state];
        for (CellIndex c : WindowCells[w]) {
            nextGains[c] = Wrap16(nextGains[c] + other);
            moverGains[c] = Wrap16(moverGains[c] + own);
            if (state == FourState<S> && model.Board[c] == EmptyCell) four = CollectFour(four, c);
        }
    }
    return four;
}

// Takes a stone's share back out of the window states. The gains are not restored: every node
// works on copies that it drops.
template <Side S>
inline void UnplaceStone(ModelState& model, CellIndex cell) {
    const CellWindowList& windows = CellWindows[cell];
    for (int i = 0; i < windows.Count; ++i) model.WindowStates[windows.Windows[i]] -= WindowStep<S>;
}

// Removes the cell at `position` from the list (the last entry takes its place), raises the
// neighbour counts around it and appends, in neighbourhood order, the empty cells it brings
// within reach for the first time.
inline void RemoveAndExpand(ModelState& model, CandidateList& candidates, int position) {
    const CellIndex cell = candidates.Cells[position];
    int count = candidates.Count - 1;
    candidates.Cells[position] = candidates.Cells[count];
#pragma GCC unroll 24
    for (CellIndex n : NeighboursOrSink[cell])
        if (model.NeighbourCount[n]++ == 0 && model.Board[n] == EmptyCell)
            candidates.Cells[count++] = n;
    candidates.Count = static_cast<uint16_t>(count);
}

// Lowers the neighbour counts around a cell again. The list is not repaired: its owner drops it.
inline void ReleaseNeighbours(ModelState& model, CellIndex cell) {
#pragma GCC unroll 24
    for (CellIndex n : NeighboursOrSink[cell]) model.NeighbourCount[n] -= 1;
}

}  // namespace TARN_PATH_NAMESPACE

}  // namespace tarn
