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

// The margin of a gain array on either side of the board's cells: a stone's changes along its
// lines are added at fixed steps from its cell, up to four steps of the longest stride (84 cells),
// and those that fall off the board, always 0, land in the margin instead of being tested for. A
// multiple of 32 cells keeps the board's cells at the start of a cache line.
inline constexpr int GainMargin = 96;
static_assert(GainMargin >= 4 * (BoardSize + 1) && GainMargin % 32 == 0);

// Per-cell scores, one per cell, between two margins. Aligned and of fixed size so that the
// cells are copied in one constant-size block.
struct alignas(CacheLineBytes) CellScores {
    Score Values[GainMargin + CellCount + GainMargin];  // cell c at GainMargin + c

    Score& operator[](int cell) { return Values[GainMargin + cell]; }
    Score operator[](int cell) const { return Values[GainMargin + cell]; }
};

// The empty cells within two rows and two columns of a stone: cells in Cells[0..Count-1],
// entries from Count upwards are stale. The order decides ties in the search.
struct alignas(CacheLineBytes) CandidateList {
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

// Copies the board's cells of a gain array (the margins are never read) in blocks of the path's
// vector width, each one load and one store. Left alone, the compiler copies the array with a
// string instruction (rep movsq), which is slower at this size.
inline void CopyScores(CellScores& to, const CellScores& from) {
    using Block = int16_t __attribute__((vector_size(VectorBytes), may_alias));
    static_assert(CellCount * sizeof(Score) % sizeof(Block) == 0);
    const Block* source = reinterpret_cast<const Block*>(from.Values + GainMargin);
    Block* target = reinterpret_cast<Block*>(to.Values + GainMargin);
#pragma GCC unroll 64
    for (size_t i = 0; i < CellCount * sizeof(Score) / sizeof(Block); ++i) target[i] = source[i];
}

// Copies the live part of a list: its entries and its count (the stale slots are never read).
inline void CopyCandidates(CandidateList& to, const CandidateList& from) {
    std::memcpy(to.Cells, from.Cells, from.Count * sizeof(CellIndex));
    to.Count = from.Count;
}

}  // namespace TARN_PATH_NAMESPACE

// The result of the four check of one move.
using FourCell = CellIndex;
inline constexpr FourCell NoFour = NoCell;     // the move made no four
inline constexpr FourCell DoubleFour = 32000;  // fours that need two different cells to block

// The state of a dead slot (see LineSlots) before any stone of its line's cells: beyond every
// state a real window can reach, so that the tables below give it no change. Stones raise it like
// any slot, by at most four (a dead slot has at most four cells on the board), and it stays clear
// of the four states and below the tables' end, even where the leaf reply looks one stone ahead.
inline constexpr WindowState DeadWindowState = WindowStateCount;
inline constexpr int StateTableSize = 2 * WindowStateCount;
static_assert(DeadWindowState + 5 * WindowStep<Side::Engine> < StateTableSize);

// How a stone changes the contributions of a window to the gains of its five cells, indexed by
// the window's state after the stone: Other is added to the gains of the other side, Own to the
// gains of the side that placed it.
struct StoneDelta {
    std::array<Score, StateTableSize> Other;
    std::array<Score, StateTableSize> Own;
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

// A stone's two changes of a window packed into one number for summing along a line: the
// mover's 16 bits at the bottom, the other side's 32 bits up. A sum of five such numbers never
// carries from one half into the other, and its halves are the two sums modulo 2^16.
using DeltaPair = uint64_t;
using DeltaPairTable = std::array<DeltaPair, StateTableSize>;

namespace detail {

constexpr DeltaPairTable MakeDeltaPairs(const StoneDelta& delta) {
    DeltaPairTable pairs{};
    for (int state = 0; state < StateTableSize; ++state)
        pairs[state] = static_cast<uint16_t>(delta.Own[state]) |
                       static_cast<DeltaPair>(static_cast<uint16_t>(delta.Other[state])) << 32;
    return pairs;
}

}  // namespace detail

// The window state of four stones of the side and none of the other.
template <Side S>
inline constexpr int FourState = 4 * WindowStep<S>;
template <Side S>
inline constexpr const StoneDelta& DeltaOf =
    S == Side::Engine ? EngineStoneDelta : OpponentStoneDelta;
template <Side S>
inline constexpr DeltaPairTable DeltaPairsOf = detail::MakeDeltaPairs(DeltaOf<S>);

// The neighbour counts are kept column by column, with two spare rows above and below the board
// in every column and two spare columns on either side (NeighbourIndex).
inline constexpr int NeighbourColumnHeight = BoardSize + 4;
inline constexpr int NeighbourColumns = BoardSize + 4;

// A cell's five windows of one direction are read and written as one 8-byte group: the state of
// the window ending at the cell in the lowest byte, the three bytes past the fifth written back
// as they were read.
inline constexpr int GroupBytes = 8;

// What a search changes in place and restores in last-in, first-out order: its own board with
// the trial stones on it, the window states and the neighbour counts. Every search owns one;
// BuildModel derives the states and counts from the board.
struct alignas(CacheLineBytes) ModelState {
    // The states of the windows line by line (LineSlots), with room for the last group's spare
    // bytes. Every slot, dead or not, counts the stones on its cells that are on the board.
    alignas(CacheLineBytes) WindowState WindowStates[LineSlotCount + GroupBytes - CellsPerWindow];
    // For every cell, the number of occupied cells (trial stones included) in its 5 by 5 square,
    // the cell itself included, kept column by column (NeighbourIndex). An empty cell with a
    // count of 0 is out of reach of every stone, and an occupied cell always counts itself.
    alignas(CacheLineBytes) uint8_t
        NeighbourCount[NeighbourColumns * NeighbourColumnHeight + GroupBytes];
    alignas(CacheLineBytes) Stone Board[CellCount];
};

// The neighbour counts of a cell's square are read and written as five 8-byte groups, one for
// each column of the square. The spare entries around the board hold OffBoardCount plus the
// stones near them, so that they never look like a cell newly brought within reach.
inline constexpr uint8_t OffBoardCount = 128;

// The index of the count of column x, row y (either may lie up to two cells off the board).
constexpr int NeighbourIndex(int x, int y) {
    return (x + 2) * NeighbourColumnHeight + y + 2;
}

constexpr int NeighbourIndexOf(int cell) {
    return NeighbourIndex(ColumnOf(cell), RowOf(cell));
}

// Where the five groups of a cell's square start: the count of its top left corner.
constexpr int SquareCorner(int cell) {
    return NeighbourIndex(ColumnOf(cell) - 2, RowOf(cell) - 2);
}

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

// Eight bytes of window states or neighbour counts as one number, the first byte lowest.
inline uint64_t LoadGroup(const uint8_t* bytes) {
    uint64_t group;
    std::memcpy(&group, bytes, sizeof group);
    return group;
}

inline void StoreGroup(uint8_t* bytes, uint64_t group) {
    std::memcpy(bytes, &group, sizeof group);
}

// One in each of a group's five bytes that count.
inline constexpr uint64_t GroupOnes = 0x0000000101010101;

// Whether one of a group's five windows is in `state`: the usual test for a zero byte, applied to
// the group with `state` taken out of every byte. It may name the wrong byte, never a wrong
// answer to whether there is one.
constexpr bool GroupHolds(uint64_t group, int state) {
    const uint64_t x = group ^ (static_cast<uint64_t>(state) * GroupOnes);
    return ((x - GroupOnes) & ~x & (GroupOnes << 7)) != 0;
}

// The empty cells of the fours of side S in a cell's group of direction D (the states after its
// stone), collected into `four`. Inlined by force: the leaf reply needs it only on its rare fours,
// but when the compiler chose a call there, the leaf reply ran 0.4 percent more instructions.
template <Side S, int D>
[[gnu::always_inline]] inline FourCell FoursInGroup(const ModelState& model, int cell,
                                                    uint64_t group, FourCell four) {
    constexpr int stride = DirectionStride(D);
    for (int j = 0; j < CellsPerWindow; ++j) {
        if (static_cast<int>((group >> (8 * j)) & 0xFF) != FourState<S>) continue;
        for (int i = 0; i < CellsPerWindow; ++i) {
            const int c = cell + (j - 4 + i) * stride;
            if (model.Board[c] == EmptyCell) four = CollectFour(four, static_cast<CellIndex>(c));
        }
    }
    return four;
}

// Adds a stone's changes along direction D to both gain arrays, or takes them out again. `group`
// holds the states of the stone's five windows of that direction after the stone. The change at
// the cell k steps away is the sum over the windows that hold both cells, a difference of two
// running sums; cells off the board see only dead windows, so their change of 0 lands on some
// other cell or in the margins. The stone's own cell is left alone: it is occupied.
template <Side S, int D, bool Add>
inline void ChangeGainsAlong(uint64_t group, int cell, CellScores& nextGains,
                             CellScores& moverGains) {
    const DeltaPairTable& pairs = DeltaPairsOf<S>;
    DeltaPair sum[CellsPerWindow + 1];
    sum[0] = 0;
#pragma GCC unroll 5
    for (int j = 0; j < CellsPerWindow; ++j) sum[j + 1] = sum[j] + pairs[(group >> (8 * j)) & 0xFF];
    constexpr int stride = DirectionStride(D);
#pragma GCC unroll 9
    for (int k = -4; k <= 4; ++k) {
        if (k == 0) continue;
        const DeltaPair change = k < 0 ? sum[k + 5] : sum[5] - sum[k];
        const int c = cell + k * stride;
        const int own = static_cast<uint16_t>(change), other = static_cast<uint16_t>(change >> 32);
        moverGains[c] = Wrap16(Add ? moverGains[c] + own : moverGains[c] - own);
        nextGains[c] = Wrap16(Add ? nextGains[c] + other : nextGains[c] - other);
    }
}

template <Side S, int D>
inline bool PlaceStoneAlong(ModelState& model, CellIndex cell, CellScores& nextGains,
                            CellScores& moverGains) {
    WindowState* slots = model.WindowStates + LineSlots.CellSlots[cell][D];
    const uint64_t group = LoadGroup(slots) + WindowStep<S> * GroupOnes;
    StoreGroup(slots, group);
    ChangeGainsAlong<S, D, true>(group, cell, nextGains, moverGains);
    return GroupHolds(group, FourState<S>);
}

// Applies a stone of side S, already on the board at `cell`, to the window states and to both
// gain arrays (the gains of the cell itself excepted), and reports the fours it has made. The
// windows are taken a line at a time: the changes of a line's five windows are summed for each
// cell once instead of being added window by window.
template <Side S>
inline FourCell PlaceStone(ModelState& model, CellIndex cell, CellScores& nextGains,
                           CellScores& moverGains) {
    bool four = PlaceStoneAlong<S, 0>(model, cell, nextGains, moverGains);
    four |= PlaceStoneAlong<S, 1>(model, cell, nextGains, moverGains);
    four |= PlaceStoneAlong<S, 2>(model, cell, nextGains, moverGains);
    four |= PlaceStoneAlong<S, 3>(model, cell, nextGains, moverGains);
    if (!four) [[likely]]
        return NoFour;
    FourCell found = NoFour;
    const auto& slots = LineSlots.CellSlots[cell];
    found = FoursInGroup<S, 0>(model, cell, LoadGroup(model.WindowStates + slots[0]), found);
    found = FoursInGroup<S, 1>(model, cell, LoadGroup(model.WindowStates + slots[1]), found);
    found = FoursInGroup<S, 2>(model, cell, LoadGroup(model.WindowStates + slots[2]), found);
    found = FoursInGroup<S, 3>(model, cell, LoadGroup(model.WindowStates + slots[3]), found);
    return found;
}

// Takes a stone's share back out of the window states. The gains are not restored: every node
// works on copies that it drops.
template <Side S>
inline void UnplaceStone(ModelState& model, CellIndex cell) {
    for (int d = 0; d < DirectionCount; ++d) {
        WindowState* slots = model.WindowStates + LineSlots.CellSlots[cell][d];
        StoreGroup(slots, LoadGroup(slots) - WindowStep<S> * GroupOnes);
    }
}

// The bytes of a group's five that are 0, as their top bits.
constexpr uint64_t ZeroBytes(uint64_t group) {
    constexpr uint64_t low7 = 0x7F * GroupOnes;
    return ~(((group & low7) + low7) | group | low7) & (GroupOnes << 7);
}

// Calls found(cell) for every empty cell of a cell's square that no stone reaches, in
// neighbourhood order (column by column, each from the top), until it returns true; returns
// whether it did. `corner` points at the count of the square's top left cell.
template <typename Found>
inline bool FindUnreached(const uint8_t* corner, int cell, Found&& found) {
#pragma GCC unroll 5
    for (int dx = -2; dx <= 2; ++dx) {
        uint64_t unreached = ZeroBytes(LoadGroup(corner + (dx + 2) * NeighbourColumnHeight));
        while (unreached != 0) {
            const int dy = __builtin_ctzll(unreached) / 8 - 2;
            if (found(static_cast<CellIndex>(cell + dx + dy * BoardSize))) return true;
            unreached &= unreached - 1;
        }
    }
    return false;
}

// Removes the cell at `position` from the list (the last entry takes its place), raises the
// neighbour counts of its square and appends, in neighbourhood order, the empty cells it brings
// within reach for the first time.
inline void RemoveAndExpand(ModelState& model, CandidateList& candidates, int position) {
    const CellIndex cell = candidates.Cells[position];
    int count = candidates.Count - 1;
    candidates.Cells[position] = candidates.Cells[count];
    uint8_t* corner = model.NeighbourCount + SquareCorner(cell);
    // Every cell of the square is written at the list's end, and the end moves past it only if
    // it is newly reached: no branch on how many are.
#pragma GCC unroll 5
    for (int column = 0; column < 5; ++column) {
        uint8_t* counts = corner + column * NeighbourColumnHeight;
        const uint64_t before = LoadGroup(counts);
        const uint64_t unreached = ZeroBytes(before);
        StoreGroup(counts, before + GroupOnes);
#pragma GCC unroll 5
        for (int row = 0; row < 5; ++row) {
            candidates.Cells[count] =
                static_cast<CellIndex>(cell + (column - 2) + (row - 2) * BoardSize);
            count += static_cast<int>((unreached >> (8 * row + 7)) & 1);
        }
    }
    candidates.Count = static_cast<uint16_t>(count);
}

// Lowers the neighbour counts of a cell's square again. The list is not repaired: its owner drops
// it.
inline void ReleaseNeighbours(ModelState& model, CellIndex cell) {
    uint8_t* corner = model.NeighbourCount + SquareCorner(cell);
#pragma GCC unroll 5
    for (int column = 0; column < 5; ++column) {
        uint8_t* counts = corner + column * NeighbourColumnHeight;
        StoreGroup(counts, LoadGroup(counts) - GroupOnes);
    }
}

}  // namespace TARN_PATH_NAMESPACE

}  // namespace tarn
