// Micro-benchmark of one step of the search on the evaluation model: the copies a node makes
// for a child, the child's stone applied to the model and taken back again. Cycles over every
// candidate cell of a typical mid-game position.
#include <benchmark/benchmark.h>

#include "game/model.h"

namespace tarn {
namespace {

// A mid-game position of 30 stones around the centre, fifteen of each side: the engine has
// several threes, neither side a four.
constexpr int MidGame[][3] = {{9, 9, 1},   {10, 10, 2}, {10, 9, 1},  {8, 9, 2},   {11, 9, 1},
                              {12, 9, 2},  {9, 10, 1},  {9, 11, 2},  {11, 11, 1}, {10, 8, 2},
                              {12, 12, 1}, {13, 13, 2}, {11, 10, 1}, {11, 12, 2}, {8, 11, 1},
                              {7, 12, 2},  {10, 12, 1}, {12, 10, 2}, {9, 13, 1},  {8, 14, 2},
                              {12, 11, 1}, {13, 11, 2}, {8, 8, 1},   {7, 7, 2},   {13, 10, 1},
                              {14, 9, 2},  {10, 13, 1}, {10, 14, 2}, {7, 10, 1},  {6, 10, 2}};

template <Side S>
void ModelStep(benchmark::State& state) {
    ModelState model{};
    for (const auto& stone : MidGame)
        model.Board[CellAt(stone[0], stone[1])] = static_cast<Stone>(stone[2]);
    CellScores engineGains, opponentGains;
    CandidateList list;
    BuildModel(model, engineGains, opponentGains, list);
    const CellScores& next = S == Side::Engine ? opponentGains : engineGains;
    const CellScores& mover = S == Side::Engine ? engineGains : opponentGains;

    CellScores nextGains, moverGains;
    CandidateList candidates;
    int position = 0;
    for (auto _ : state) {
        const CellIndex cell = list.Cells[position];
        nextGains = next;
        moverGains = mover;
        candidates = list;
        model.Board[cell] = static_cast<Stone>(S);
        const FourCell four = PlaceStone<S>(model, cell, nextGains, moverGains);
        RemoveAndExpand(model, candidates, position);
        ReleaseNeighbours(model, cell);
        UnplaceStone<S>(model, cell);
        model.Board[cell] = EmptyCell;
        benchmark::DoNotOptimize(four);
        benchmark::DoNotOptimize(nextGains);
        benchmark::DoNotOptimize(moverGains);
        benchmark::DoNotOptimize(candidates);
        benchmark::ClobberMemory();
        if (++position == list.Count) position = 0;
    }
    state.counters["candidates"] = list.Count;
}

BENCHMARK_TEMPLATE(ModelStep, Side::Engine);
BENCHMARK_TEMPLATE(ModelStep, Side::Opponent);

}  // namespace
}  // namespace tarn
