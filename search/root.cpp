#include "search/root.h"

#include <algorithm>
#include <optional>

#include "game/model.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/search_state.h"

namespace tarn {

namespace {

// The root's own view of the position: the search state it hands down, both gain arrays, the
// root scores that order its moves (the engine's gains at first, then each iteration's results)
// and its candidate list.
struct Root {
    SearchState Search;
    const NodeChain* Nodes = nullptr;  // the node chain of the search's path
    CellScores EngineGains, OpponentGains, RootScores;
    CandidateList Candidates;
    Score StaticEval = 0;
};

// How one iteration's move loop ended.
struct IterationOutcome {
    CellIndex BestMove = NoCell;
    Score BestScore = -InfiniteScore;
    int Position = 0;  // root moves searched to the end before the loop stopped
    bool TimedOut = false;
};

// The empty cell of the last window in window order that holds four stones of one side and
// none of the other, or NoCell.
CellIndex LastFourCompletion(const ModelState& model, int fourState) {
    CellIndex found = NoCell;
    for (int w = 0; w < WindowCount; ++w) {
        if (model.WindowStates[LineSlots.WindowSlots[w]] != fourState) continue;
        for (CellIndex c : WindowCells[w])
            if (model.Board[c] == EmptyCell) found = c;
    }
    return found;
}

// The move that needs no search: the engine completes its own five before it blocks the
// opponent's; with no candidate at all an empty board opens in the centre and a full board has
// no move.
std::optional<CellIndex> ImmediateAnswer(const Root& root) {
    const ModelState& model = root.Search.Model;
    if (const CellIndex five = LastFourCompletion(model, FourState<Side::Engine>); five != NoCell)
        return five;
    if (const CellIndex block = LastFourCompletion(model, FourState<Side::Opponent>);
        block != NoCell)
        return block;
    if (root.Candidates.Count > 0) return std::nullopt;
    const bool empty = std::all_of(std::begin(model.Board), std::end(model.Board),
                                   [](Stone stone) { return stone == EmptyCell; });
    return empty ? CellAt(BoardSize / 2, BoardSize / 2) : NoCell;
}

// One iteration over the root moves in their present order, each searched with the window
// (best score so far, +infinity); stops at the first move an earlier iteration found lost, or
// when the clock runs out. Stores every finished move's value in the root scores.
IterationOutcome SearchIteration(Root& root, int iteration) {
    SearchState& search = root.Search;
    const CandidateList& candidates = root.Candidates;
    CellScores childNext, childMover;
    CandidateList childList;
    IterationOutcome outcome;
    for (; outcome.Position < candidates.Count; ++outcome.Position) {
        const CellIndex cell = candidates.Cells[outcome.Position];
        if (root.RootScores[cell] < -(WinThreshold - 1)) break;

        search.Model.Board[cell] = EngineStone;
        childNext = root.OpponentGains;
        childMover = root.EngineGains;
        childList = candidates;
        const Score result = (*root.Nodes)[iteration](
            search, -InfiniteScore, Negate(AdjustBound(outcome.BestScore)), outcome.Position,
            Wrap16(-(root.StaticEval + root.EngineGains[cell])), childNext, childMover, childList);
        search.Model.Board[cell] = EmptyCell;
        if ((outcome.TimedOut = search.Budget.OutOfTime())) break;

        const Score value = Negate(result);
        root.RootScores[cell] = value;
        if (value > outcome.BestScore) {
            outcome.BestScore = value;
            outcome.BestMove = cell;
        }
    }
    return outcome;
}

// The move after a time-out, from the last complete information. When every accepted move
// loses, the one cut off (or the first known loss) has at least not been refuted, and with
// nothing left unsearched the slowest loss is played. Otherwise the iteration's best stands if
// it weighed at least two moves; if not, the previous iteration's best.
CellIndex TimeOutChoice(const IterationOutcome& outcome, const CandidateList& candidates,
                        CellIndex previousBest) {
    if (outcome.BestScore <= -WinThreshold)
        return outcome.Position < candidates.Count ? candidates.Cells[outcome.Position]
                                                   : outcome.BestMove;
    if (outcome.Position >= 2 || previousBest == NoCell) return outcome.BestMove;
    return previousBest;
}

}  // namespace

// Iterative deepening over the root candidates, in the order of the previous iteration's scores;
// moves an earlier iteration found lost are not searched again. A time-out drops the unfinished
// root move and answers from the last complete information.
SearchResult RootSearch(std::span<const Stone, CellCount> board, const SearchLimits& limits,
                        const IterationCallback& onIteration) {
    SearchResult result;
    Root root;
    std::copy(board.begin(), board.end(), root.Search.Model.Board);
    root.Search.Budget = limits.Time;
    const SearchPath path = limits.Path.value_or(BestPath());
    result.Path = PathAvailable(path) ? path : SearchPath::Base;
    root.Nodes = &NodeChainOf(result.Path);
    root.StaticEval =
        BuildModel(root.Search.Model, root.EngineGains, root.OpponentGains, root.Candidates);
    root.RootScores = root.EngineGains;

    if (const std::optional<CellIndex> move = ImmediateAnswer(root)) {
        result.Move = *move;
        return result;
    }

    SearchState& search = root.Search;
    CellIndex bestMove = NoCell;
    for (int iteration = 0; iteration <= limits.LastIteration; ++iteration) {
        const CellIndex previousBest = bestMove;
        StableSortByScore(root.Candidates.Cells, root.Candidates.Count, root.RootScores);
        search.NodeCount = 0;
        const int64_t iterationStart = ClockNanoseconds();
        const IterationOutcome outcome = SearchIteration(root, iteration);
        const int64_t iterationEnd = ClockNanoseconds();

        if (outcome.TimedOut || search.Budget.OutOfTime()) {
            result.Move = TimeOutChoice(outcome, root.Candidates, previousBest);
            return result;
        }

        bestMove = outcome.BestMove;
        IterationReport& report = result.PerIteration[result.Iterations++];
        report = {ReportedDepth(iteration), bestMove, outcome.BestScore, search.NodeCount,
                  static_cast<double>(iterationEnd - iterationStart) * 1e-9};
        if (onIteration) onIteration(report);

        result.Move = bestMove;
        if (outcome.Position < 2 || outcome.BestScore >= WinThreshold ||
            outcome.BestScore <= -WinThreshold || !search.Budget.MayDeepen())
            break;
    }
    return result;
}

}  // namespace tarn
