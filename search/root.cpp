#include "search/root.h"

#include "game/game_state.h"
#include "game/model.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/report.h"
#include "search/time_control.h"

namespace tarn {

TimeBudget ActiveBudget;

namespace {

// The empty cell of the last window in window order that holds four stones of one side and
// none of the other, or NoCell.
CellIndex LastFourCompletion(int fourState) {
    CellIndex found = NoCell;
    for (int w = 0; w < WindowCount; ++w) {
        if (WindowStates[w] != fourState) continue;
        for (CellIndex c : WindowCells[w])
            if (Game.Board[c] == EmptyCell) found = c;
    }
    return found;
}

bool BoardIsEmpty() {
    for (Stone stone : Game.Board)
        if (stone != EmptyCell) return false;
    return true;
}

}  // namespace

// Iterative deepening over the root candidates. Every root move is searched in every iteration
// with the window (best score so far, +infinity), in the order of the previous iteration's
// scores; moves an earlier iteration found lost are not searched again. A time-out drops the
// unfinished root move and answers from the last complete information.
SearchResult RunRootSearch(const SearchOptions& options) {
    SearchResult result;
    ActiveBudget = {Game.TurnStartTime, EngineSettings.timeout_turn, EngineSettings.time_left,
                    options.UseClock};

    CellScores engineGains, opponentGains, rootScores;
    CandidateList candidates;
    const Score staticEval = BuildModel(Game.Board, engineGains, opponentGains, candidates);
    rootScores = engineGains;

    // The engine completes its own five before it blocks the opponent's.
    if ((result.Move = LastFourCompletion(FourState<Side::Engine>)) != NoCell) return result;
    if ((result.Move = LastFourCompletion(FourState<Side::Opponent>)) != NoCell) return result;

    if (candidates.Count == 0) {
        // No candidate: an empty board opens in the centre; a full board has no move at all.
        result.Move = BoardIsEmpty() ? CellAt(BoardSize / 2, BoardSize / 2) : NoCell;
        return result;
    }

    CellScores childNext, childMover;
    CandidateList childList;
    CellIndex bestMove = NoCell;
    for (int iteration = 0; iteration <= options.LastIteration; ++iteration) {
        const CellIndex previousBest = bestMove;
        StableSortByScore(candidates.Cells, candidates.Count, rootScores);
        NodeCount = 0;
        const int64_t iterationStart = ClockNanoseconds();

        bestMove = NoCell;
        Score bestScore = -InfiniteScore;
        int position = 0;
        bool timedOut = false;
        for (; position < candidates.Count; ++position) {
            const CellIndex cell = candidates.Cells[position];
            if (rootScores[cell] < -(WinThreshold - 1)) break;

            Game.Board[cell] = EngineStone;
            childNext = opponentGains;
            childMover = engineGains;
            childList = candidates;
            const Score result = NodeByDepth[iteration](
                -InfiniteScore, Negate(AdjustBound(bestScore)), position,
                Wrap16(-(staticEval + engineGains[cell])), childNext, childMover, childList);
            Game.Board[cell] = EmptyCell;
            if ((timedOut = OutOfTime())) break;

            const Score value = Negate(result);
            rootScores[cell] = value;
            if (value > bestScore) {
                bestScore = value;
                bestMove = cell;
            }
        }
        const int64_t iterationEnd = ClockNanoseconds();

        if (timedOut || OutOfTime()) {
            // Every accepted move loses: the one cut off (or the first known loss) has at least
            // not been refuted; with nothing left unsearched, the slowest loss.
            if (bestScore <= -WinThreshold)
                result.Move = position < candidates.Count ? candidates.Cells[position] : bestMove;
            else if (position >= 2 || previousBest == NoCell)
                result.Move = bestMove;
            else
                result.Move = previousBest;
            return result;
        }

        IterationReport& report = result.PerIteration[result.Iterations++];
        report = {2 * iteration + 4, bestMove, bestScore, NodeCount,
                  static_cast<double>(iterationEnd - iterationStart) * 1e-9};
        if (options.Report) WriteSearchReport(*options.Report, report);

        result.Move = bestMove;
        if (position < 2 || bestScore >= WinThreshold || bestScore <= -WinThreshold || !MayDeepen())
            break;
    }
    return result;
}

CellIndex RootSearch(std::ostream& report) {
    SearchOptions options;
    options.Report = &report;
    return RunRootSearch(options).Move;
}

}  // namespace tarn
