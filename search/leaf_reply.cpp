// The leaf reply: the engine's last move of a line, valued by the opponent's best immediate
// answer. It runs more often than anything else in the search, so it changes nothing: instead of
// adding the reply's effect to a copy of the opponent's gains, it works out that effect for each
// answer it actually scans (the scan usually stops after a few answers), and instead of editing
// the shared candidate list it reads it in the order the edit would give.
#include <array>
#include <type_traits>

#ifdef __SSE4_1__
#include <immintrin.h>
#endif

#include "search/node.h"

namespace tarn {
inline namespace TARN_PATH_NAMESPACE {

namespace {

constexpr int RelationSpan = 2 * BoardSize - 1;  // column or row differences -19 to 19

// The reply changes the opponent's gain only at the cells of its four lines, up to four steps
// either way: the change at offset k along a direction is the sum of the changes of the reply's
// windows that hold both cells. The leaf reply works the 32 changes out once, in this order:
// direction by direction, offsets -4 to -1 and then 1 to 4; one more entry holds the 0 of every
// other cell.
constexpr int ChangeIndex(int direction, int k) {
    return 8 * direction + (k < 0 ? k + 4 : k + 3);
}
constexpr int UnrelatedChange = 8 * DirectionCount;

// The line relation of two cells, indexed by their column and row differences: the index of
// the answer's change.
constexpr std::array<uint8_t, RelationSpan * RelationSpan> MakeRelations() {
    std::array<uint8_t, RelationSpan * RelationSpan> relations{};
    relations.fill(UnrelatedChange);
    for (int direction = 0; direction < DirectionCount; ++direction)
        for (int k = -4; k <= 4; ++k) {
            if (k == 0) continue;
            const int dx = k * DirectionSteps[direction].Dx, dy = k * DirectionSteps[direction].Dy;
            relations[(dy + BoardSize - 1) * RelationSpan + dx + BoardSize - 1] =
                static_cast<uint8_t>(ChangeIndex(direction, k));
        }
    return relations;
}

// A cell's coordinates folded into one number, so that the difference of two folded numbers
// indexes the relation table.
constexpr std::array<int16_t, CellCount> MakeFoldedCoordinates() {
    std::array<int16_t, CellCount> folded{};
    for (int cell = 0; cell < CellCount; ++cell)
        folded[cell] = static_cast<int16_t>(RowOf(cell) * RelationSpan + ColumnOf(cell));
    return folded;
}

constexpr auto Relations = MakeRelations();
constexpr auto FoldedCoordinates = MakeFoldedCoordinates();
constexpr int RelationCentre = (BoardSize - 1) * RelationSpan + BoardSize - 1;

// Values beyond the forced-result threshold are reported as a win or loss two plies away.
constexpr Score LeafForcedScore = FiveValue - 2;

constexpr Score ClampLeafValue(int value) {
    if (IsForcedWin(value)) return LeafForcedScore;
    if (IsForcedLoss(value)) return -LeafForcedScore;
    return static_cast<Score>(value);
}

#ifdef __SSE4_1__
// The engine stone's changes of the opponent's contributions (StoneDelta::Other) as bytes, for
// the states below 32: the others have none.
constexpr std::array<int8_t, 32> MakeOtherChangeBytes() {
    std::array<int8_t, 32> bytes{};
    for (int state = 0; state < StateTableSize; ++state) {
        const int change = EngineStoneDelta.Other[state];
        if (state >= 32 ? change != 0 : change != static_cast<int8_t>(change))
            throw "the engine stone's changes of the other side do not fit the byte table";
        if (state < 32) bytes[state] = static_cast<int8_t>(change);
    }
    // States below 16 look up the high table's first entry too (LineChanges).
    if (bytes[16] != 0) throw "state 16 must change nothing";
    return bytes;
}
constexpr auto OtherChangeBytes = MakeOtherChangeBytes();

// Sets the changes of the opponent's gains along the reply's four lines (ChangeIndex) from the
// states of its windows after the reply, and
// tells whether one of them is the engine's four. Two directions at a time: the windows' changes
// are looked up sixteen bytes at once (they fit in a byte, and only states below 32 have one),
// summed along each direction in eight 16-bit lanes and rearranged into the eight offsets.
inline bool LineChanges(const uint64_t (&groups)[DirectionCount], Score* change) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(OtherChangeBytes.data()));
    const __m128i high =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(OtherChangeBytes.data() + 16));
    // Bytes 5 to 7 of a group belong to other windows: 0xFF looks nothing up.
    const __m128i spare = _mm_set1_epi64x(static_cast<int64_t>(~(0xFF * GroupOnes)));
    const __m128i bias = _mm_set1_epi8(0x70), sixteen = _mm_set1_epi8(16);
    int fours = 0;
    for (int d = 0; d < DirectionCount; d += 2) {
        const __m128i states = _mm_or_si128(
            _mm_set_epi64x(static_cast<int64_t>(groups[d + 1]), static_cast<int64_t>(groups[d])),
            spare);
        fours |= _mm_movemask_epi8(
            _mm_cmpeq_epi8(states, _mm_set1_epi8(static_cast<char>(FourState<Side::Engine>))));
        // A saturated index of 0x80 or more looks up 0: states 0 to 15 in the low table, 16 to
        // 31 in the high one.
        const __m128i bytes = _mm_add_epi8(
            _mm_shuffle_epi8(low, _mm_adds_epu8(states, bias)),
            _mm_shuffle_epi8(high, _mm_adds_epu8(_mm_subs_epu8(states, sixteen), bias)));
        for (int half = 0; half < 2; ++half) {
            __m128i sum = _mm_cvtepi8_epi16(half == 0 ? bytes : _mm_srli_si128(bytes, 8));
            sum = _mm_add_epi16(sum, _mm_slli_si128(sum, 2));
            sum = _mm_add_epi16(sum, _mm_slli_si128(sum, 4));
            sum = _mm_add_epi16(sum, _mm_slli_si128(sum, 8));
            // Lane j: the sum of the changes of windows 0 to j, all five from lane 4 on. The
            // windows of offset k < 0 are 0 to k + 4, those of offset k > 0 are k to 4.
            const __m128i before = _mm_unpacklo_epi64(sum, sum);
            const __m128i after = _mm_sub_epi16(_mm_unpackhi_epi64(sum, sum), before);
            _mm_store_si128(reinterpret_cast<__m128i*>(change + 8 * (d + half)),
                            _mm_blend_epi16(before, after, 0xF0));
        }
    }
    change[UnrelatedChange] = 0;
    return fours != 0;
}
#else
inline bool LineChanges(const uint64_t (&groups)[DirectionCount], Score* change) {
    bool fours = false;
    for (int d = 0; d < DirectionCount; ++d) {
        int sum[CellsPerWindow + 1] = {};
        for (int j = 0; j < CellsPerWindow; ++j)
            sum[j + 1] = sum[j] + EngineStoneDelta.Other[(groups[d] >> (8 * j)) & 0xFF];
        for (int k = -4; k <= 4; ++k)
            if (k != 0) change[ChangeIndex(d, k)] = Wrap16(k < 0 ? sum[k + 5] : sum[5] - sum[k]);
        fours |= GroupHolds(groups[d], FourState<Side::Engine>);
    }
    change[UnrelatedChange] = 0;
    return fours;
}
#endif

}  // namespace

template <typename State>
Score LeafReplyOf(State& search, Score beta, int pos, Score base, const CellScores& gains,
                  const CandidateList& candidates) {
    constexpr bool tracks = std::is_same_v<State, TrackingState>;
    if constexpr (tracks) search.Range = WindowRange{};
    const ModelState& model = search.Model;
    ++search.NodeCount;
    const CellIndex cell = candidates.Cells[pos];

    // The reply's windows by direction, as the reply leaves them, and the changes of the
    // opponent's gains along its lines. A window whose three engine stones the reply makes four
    // needs its empty cell blocked.
    uint64_t groups[DirectionCount];
    for (int d = 0; d < DirectionCount; ++d)
        groups[d] = LoadGroup(model.WindowStates + LineSlots.CellSlots[cell][d]) +
                    WindowStep<Side::Engine> * GroupOnes;
    alignas(16) Score change[UnrelatedChange + 1];
    const bool makesFour = LineChanges(groups, change);
    FourCell four = NoFour;
    if (makesFour) [[unlikely]] {
        four = FoursInGroup<Side::Engine, 0>(model, cell, groups[0], four);
        four = FoursInGroup<Side::Engine, 1>(model, cell, groups[1], four);
        four = FoursInGroup<Side::Engine, 2>(model, cell, groups[2], four);
        four = FoursInGroup<Side::Engine, 3>(model, cell, groups[3], four);
    }
    const int origin = FoldedCoordinates[cell] - RelationCentre;
    // The opponent's gain at a cell after the reply, plus the evaluation: the answer's value.
    auto answerValue = [&](CellIndex answer) -> Score {
        return Wrap16(base + gains[answer] + change[Relations[FoldedCoordinates[answer] - origin]]);
    };

    // The opponent faces two fours: the leaf node would score it so.
    if (four == DoubleFour) return AdjustResult(DoubleFourScore);
    if (four != NoFour) return ClampLeafValue(answerValue(four));

    // The answers, in list order: the list without the reply, whose cell the last entry takes,
    // followed by the cells the reply brings within reach for the first time. The scan stops at
    // the first answer worth beta or more.
    int best = -InfiniteScore;
    int before = -InfiniteScore;  // tracking: the best before the answer scanned last
    // Inlined by force: it is the innermost loop's body, and the compiler's own choice depends on
    // how much other code the program has (with the parallel chain beside it, it once called it
    // out of line, 8 percent slower).
    auto scan = [&](CellIndex answer) __attribute__((always_inline)) {
        ++search.NodeCount;
        const Score value = answerValue(answer);
        if constexpr (tracks) before = best;
        if (value > best) best = value;
        return value >= beta;
    };
    // Entries `from` to `to` - 1 of the list; true at the first answer worth beta or more.
    auto scanList = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            if (scan(candidates.Cells[i])) return true;
        return false;
    };
    const int last = candidates.Count - 1;
    const bool cut =
        pos < last ? scanList(0, pos) || scan(candidates.Cells[last]) || scanList(pos + 1, last)
                   : scanList(0, last);
    if (!cut) FindUnreached(model.NeighbourCount + SquareCorner(cell), cell, scan);
    if constexpr (tracks) {
        // The scan stops at the same answer for any beta above the answers before it, up to that
        // answer's value (the first answer for any beta up to its value); without a stop, for any
        // beta above them all.
        if (best >= beta) {
            search.Range.BetaMin =
                before == -InfiniteScore ? -OpenRange : static_cast<Score>(before + 1);
            search.Range.BetaMax = static_cast<Score>(best);
        } else {
            search.Range.BetaMin = static_cast<Score>(best + 1);
        }
    }
    return ClampLeafValue(best);
}

template Score LeafReplyOf(SearchState&, Score, int, Score, const CellScores&,
                           const CandidateList&);
template Score LeafReplyOf(TrackingState&, Score, int, Score, const CellScores&,
                           const CandidateList&);

}  // namespace TARN_PATH_NAMESPACE
}  // namespace tarn
