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

    int staticEval = 0;
    for (int w = 0; w < WindowCount; ++w) {
        int state = 0;
        for (CellIndex c : WindowCells[w]) state += StoneWeight(board[c]);
        windowStates[w] = static_cast<WindowState>(state);
        staticEval += WindowEval(state);
    }

    std::fill(std::begin(engineGains.Values), std::end(engineGains.Values), Score{0});
    std::fill(std::begin(opponentGains.Values), std::end(opponentGains.Values), Score{0});
    for (int w = 0; w < WindowCount; ++w) {
        const int state = windowStates[w];
        if (IsFull(state)) continue;
        const int engineGain = WindowEval(state + WindowStep<Side::Engine>) - WindowEval(state);
        const int opponentGain = WindowEval(state) - WindowEval(state + WindowStep<Side::Opponent>);
        for (CellIndex c : WindowCells[w]) {
            engineGains[c] = Wrap16(engineGains[c] + engineGain);
            opponentGains[c] = Wrap16(opponentGains[c] + opponentGain);
        }
    }

    windowStates[SpareWindow] = 0;
    std::fill(neighbourCount, neighbourCount + CellCount, uint8_t{0});
    neighbourCount[NeighbourSink] = NeighbourSinkCount;
    for (int cell = 0; cell < CellCount; ++cell) {
        if (board[cell] == EmptyCell) continue;
        const NeighbourRecord& neighbours = NeighbourList[cell];
        for (int i = 0; i < neighbours.Count; ++i) neighbourCount[neighbours.Cells[i]] += 1;
    }

    for (int cell = 0; cell < CellCount; ++cell)
        if (board[cell] == EmptyCell && neighbourCount[cell] > 0)
            candidates.Cells[candidates.Count++] = static_cast<CellIndex>(cell);

    return Wrap16(staticEval);
}

}  // namespace tarn
