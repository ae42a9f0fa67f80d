// The leaf reply: the engine's last move of a line, valued by the opponent's best immediate
// answer. It runs more often than anything else in the search, so it changes nothing: instead of
// adding the reply's effect to a copy of the opponent's gains, it works out that effect for each
// answer it actually scans (the scan usually stops after a few answers), and instead of editing
// the shared candidate list it reads it in the order the edit would give.
#include <array>

#include "search/node.h"

namespace tarn {
inline namespace TARN_PATH_NAMESPACE {

namespace {

constexpr int RelationSpan = 2 * BoardSize - 1;  // column or row differences -19 to 19

// The line relation of two cells, indexed by their column and row differences: the answer at
// offset k (1 to 4 steps, either way) along a direction from the reply lies in the reply's
// windows j = max(0, k) to min(4, k + 4) of that direction. Each entry holds the two indices of
// the running sums of window deltas whose difference is the sum over those windows; unrelated
// cells get equal indices, that is a sum of 0.
struct Relation {
    uint8_t High, Low;
};

constexpr std::array<Relation, RelationSpan * RelationSpan> MakeRelations() {
    std::array<Relation, RelationSpan * RelationSpan> relations{};
    for (int direction = 0; direction < DirectionCount; ++direction)
        for (int k = -4; k <= 4; ++k) {
            if (k == 0) continue;
            const int dx = k * DirectionSteps[direction].Dx, dy = k * DirectionSteps[direction].Dy;
            const int high = (k + 4 < 4 ? k + 4 : 4) + 1, low = k > 0 ? k : 0;
            relations[(dy + BoardSize - 1) * RelationSpan + dx + BoardSize - 1] = {
                static_cast<uint8_t>(6 * direction + high),
                static_cast<uint8_t>(6 * direction + low)};
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
    if (value > WinThreshold - 1) return LeafForcedScore;
    if (value < -(WinThreshold - 1)) return -LeafForcedScore;
    return static_cast<Score>(value);
}

}  // namespace

Score LeafReply(SearchState& search, Score beta, int pos, Score base, const CellScores& gains,
                const CandidateList& candidates) {
    const ModelState& model = search.Model;
    ++search.NodeCount;
    const CellIndex cell = candidates.Cells[pos];

    // The change of the opponent's contribution of each window through the reply, by direction
    // and start (slot 5 * direction + j: the window ending j cells after the reply), and its
    // running sums by direction (with a leading 0), from which the change of the opponent's gain
    // at any cell is one difference. A window whose three engine stones the reply makes four
    // needs its empty cell blocked.
    uint64_t groups[DirectionCount];
    for (int d = 0; d < DirectionCount; ++d)
        groups[d] = LoadGroup(model.WindowStates + LineSlots.CellSlots[cell][d]) +
                    WindowStep<Side::Engine> * GroupOnes;
    Score windowDelta[5 * DirectionCount];
    bool makesFour = false;
#pragma GCC unroll 4
    for (int d = 0; d < DirectionCount; ++d) {
#pragma GCC unroll 5
        for (int j = 0; j < CellsPerWindow; ++j)
            windowDelta[5 * d + j] = EngineStoneDelta.Other[(groups[d] >> (8 * j)) & 0xFF];
        makesFour |= GroupHolds(groups[d], FourState<Side::Engine>);
    }
    FourCell four = NoFour;
    if (makesFour) [[unlikely]] {
        four = FoursInGroup<Side::Engine, 0>(model, cell, groups[0], four);
        four = FoursInGroup<Side::Engine, 1>(model, cell, groups[1], four);
        four = FoursInGroup<Side::Engine, 2>(model, cell, groups[2], four);
        four = FoursInGroup<Side::Engine, 3>(model, cell, groups[3], four);
    }
    Score runningSum[6 * DirectionCount];
    for (int direction = 0; direction < DirectionCount; ++direction) {
        int sum = 0;
        runningSum[6 * direction] = 0;
        for (int j = 0; j < 5; ++j) {
            sum += windowDelta[5 * direction + j];
            runningSum[6 * direction + j + 1] = Wrap16(sum);
        }
    }
    const int origin = FoldedCoordinates[cell] - RelationCentre;
    // The opponent's gain at a cell after the reply, plus the evaluation: the answer's value.
    auto answerValue = [&](CellIndex answer) -> Score {
        const Relation relation = Relations[FoldedCoordinates[answer] - origin];
        return Wrap16(base + gains[answer] + runningSum[relation.High] - runningSum[relation.Low]);
    };

    // The opponent faces two fours: the leaf node would score it so.
    if (four == DoubleFour) return AdjustResult(DoubleFourScore);
    if (four != NoFour) return ClampLeafValue(answerValue(four));

    // The answers, in list order: the list without the reply, whose cell the last entry takes,
    // followed by the cells the reply brings within reach for the first time. The scan stops at
    // the first answer worth beta or more.
    int best = -InfiniteScore;
    const int last = candidates.Count - 1;
    for (int i = 0; i < last; ++i) {
        ++search.NodeCount;
        const Score value = answerValue(candidates.Cells[i == pos ? last : i]);
        if (value >= beta) return ClampLeafValue(value);
        if (value > best) best = value;
    }
    FindUnreached(model.NeighbourCount + SquareCorner(cell), cell, [&](CellIndex n) {
        ++search.NodeCount;
        const Score value = answerValue(n);
        if (value > best) best = value;
        return value >= beta;
    });
    return ClampLeafValue(best);
}

}  // namespace TARN_PATH_NAMESPACE
}  // namespace tarn
