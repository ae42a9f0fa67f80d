#include "game/model.h"

#include <algorithm>
#include <cstring>

namespace tarn {

alignas(64) WindowState WindowStates[WindowCount + 1];
alignas(64) uint8_t NeighbourCount[CellCount + 1];

namespace {

constexpr int StoneWeight(Stone stone) {
    return stone == EngineStone ? 6 : stone == OpponentStone ? 1 : 0;
}

// A window holding five stones touches only occupied cells, and a sixth stone has no value.
constexpr bool IsFull(int state) {
    return state / 6 + state % 6 >= 5;
}

}  // namespace

Score BuildModel(const Stone* board, CellScores& engineGains, CellScores& opponentGains,
                 CandidateList& candidates) {
    std::memset(&candidates, 0, sizeof candidates);

    int staticEval = 0;
    for (int w = 0; w < WindowCount; ++w) {
        int state = 0;
        for (CellIndex c : WindowCells[w]) state += StoneWeight(board[c]);
        WindowStates[w] = static_cast<WindowState>(state);
        staticEval += WindowEval(state);
    }

    std::fill(std::begin(engineGains.Values), std::end(engineGains.Values), Score{0});
    std::fill(std::begin(opponentGains.Values), std::end(opponentGains.Values), Score{0});
    for (int w = 0; w < WindowCount; ++w) {
        const int state = WindowStates[w];
        if (IsFull(state)) continue;
        const int engineGain = WindowEval(state + 6) - WindowEval(state);
        const int opponentGain = WindowEval(state) - WindowEval(state + 1);
        for (CellIndex c : WindowCells[w]) {
            engineGains[c] = Wrap16(engineGains[c] + engineGain);
            opponentGains[c] = Wrap16(opponentGains[c] + opponentGain);
        }
    }

    std::fill(std::begin(NeighbourCount), std::end(NeighbourCount), uint8_t{0});
    NeighbourCount[NeighbourSink] = NeighbourSinkCount;
    for (int cell = 0; cell < CellCount; ++cell) {
        if (board[cell] == EmptyCell) continue;
        const NeighbourRecord& neighbours = NeighbourList[cell];
        for (int i = 0; i < neighbours.Count; ++i) NeighbourCount[neighbours.Cells[i]] += 1;
    }

    for (int cell = 0; cell < CellCount; ++cell)
        if (board[cell] == EmptyCell && NeighbourCount[cell] > 0)
            candidates.Cells[candidates.Count++] = static_cast<CellIndex>(cell);

    return Wrap16(staticEval);
}

}  // namespace tarn
