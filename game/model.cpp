#include "game/model.h"

#include <algorithm>
#include <cstring>

namespace tarn {

namespace {

constexpr int StoneWeight(Stone stone) {
    return stone == EngineStone     ? WindowStep<Side::Engine>
           : stone == OpponentStone ? WindowStep<Side::Opponent>
                                    : 0;
}

// A window holding five stones touches only occupied cells, and a sixth stone has no value.
constexpr bool IsFull(int state) {
    return EngineStonesIn(state) + OpponentStonesIn(state) >= CellsPerWindow;
}

}  // namespace

Score BuildModel(ModelState& model, CellScores& engineGains, CellScores& opponentGains,
                 CandidateList& candidates) {
    const Stone* board = model.Board;
    WindowState* windowStates = model.WindowStates;
    uint8_t* neighbourCount = model.NeighbourCount;
    std::memset(&candidates, 0, sizeof candidates);

    // Every slot counts the stones on its cells: a window from 0, a dead slot from its own state.
    std::fill(std::begin(model.WindowStates), std::end(model.WindowStates), DeadWindowState);
    for (int w = 0; w < WindowCount; ++w) windowStates[LineSlots.WindowSlots[w]] = 0;
    for (int cell = 0; cell < CellCount; ++cell)
        for (int d = 0; d < DirectionCount; ++d)
            for (int j = 0; j < CellsPerWindow; ++j)
                windowStates[LineSlots.CellSlots[cell][d] + j] += StoneWeight(board[cell]);
    int staticEval = 0;
    for (int w = 0; w < WindowCount; ++w)
        staticEval += WindowEval(windowStates[LineSlots.WindowSlots[w]]);

    std::fill(std::begin(engineGains.Values), std::end(engineGains.Values), Score{0});
    std::fill(std::begin(opponentGains.Values), std::end(opponentGains.Values), Score{0});
    for (int w = 0; w < WindowCount; ++w) {
        const int state = windowStates[LineSlots.WindowSlots[w]];
        if (IsFull(state)) continue;
        const int engineGain = WindowEval(state + WindowStep<Side::Engine>) - WindowEval(state);
        const int opponentGain = WindowEval(state) - WindowEval(state + WindowStep<Side::Opponent>);
        for (CellIndex c : WindowCells[w]) {
            engineGains[c] = Wrap16(engineGains[c] + engineGain);
            opponentGains[c] = Wrap16(opponentGains[c] + opponentGain);
        }
    }

    std::fill(std::begin(model.NeighbourCount), std::end(model.NeighbourCount), OffBoardCount);
    for (int cell = 0; cell < CellCount; ++cell) neighbourCount[NeighbourIndexOf(cell)] = 0;
    for (int cell = 0; cell < CellCount; ++cell) {
        if (board[cell] == EmptyCell) continue;
        for (int dx = -2; dx <= 2; ++dx)
            for (int dy = -2; dy <= 2; ++dy)
                neighbourCount[NeighbourIndex(ColumnOf(cell) + dx, RowOf(cell) + dy)] += 1;
    }

    for (int cell = 0; cell < CellCount; ++cell)
        if (board[cell] == EmptyCell && neighbourCount[NeighbourIndexOf(cell)] > 0)
            candidates.Cells[candidates.Count++] = static_cast<CellIndex>(cell);

    return Wrap16(staticEval);
}

}  // namespace tarn
