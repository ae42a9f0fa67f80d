#include "search/root.h"

#include <algorithm>
#include <optional>
#include <type_traits>

#include "game/model.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/parallel.h"
#include "search/search_state.h"
#include "search/threads.h"

namespace tarn {

namespace {

// The root's own view of the position: both gain arrays, the root scores that order its moves
// (the engine's gains at first, then each iteration's results) and its candidate list. The search
// state it hands down is kept apart, one kind for a search on one thread, another for a thread of
// a parallel search.
struct Root {
    const NodeChain* Nodes = nullptr;  // the node chains of the search's path
    const WorkerNodeChain* WorkerNodes = nullptr;
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
std::optional<CellIndex> ImmediateAnswer(const Root& root, const ModelState& model) {
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

template <typename State>
constexpr bool IsWorker = std::is_same_v<State, WorkerState>;

// The value of the root move at `position`, searched with the window (best score so far,
// +infinity).
template <typename State>
Score SearchRootMove(State& search, const Root& root, int iteration, int position,
                     Score bestScore) {
    const CellIndex cell = root.Candidates.Cells[position];
    CellScores childNext = root.OpponentGains, childMover = root.EngineGains;
    CandidateList childList = root.Candidates;
    NodeFunctionOf<State> node;
    if constexpr (IsWorker<State>)
        node = (*root.WorkerNodes)[iteration];
    else
        node = (*root.Nodes)[iteration];
    search.Model.Board[cell] = EngineStone;
    if constexpr (IsWorker<State>) search.Line = ExtendLine(RootLine(iteration), cell);
    const Score result =
        node(search, -InfiniteScore, Negate(AdjustBound(bestScore)), position,
             Wrap16(-(root.StaticEval + root.EngineGains[cell])), childNext, childMover, childList);
    search.Model.Board[cell] = EmptyCell;
    return Negate(result);
}

// A root move's value is its sort key in the next iteration; the first of equal best values
// stays the best move.
void Accept(Root& root, IterationOutcome& outcome, CellIndex cell, Score value) {
    root.RootScores[cell] = value;
    if (value > outcome.BestScore) {
        outcome.BestScore = value;
        outcome.BestMove = cell;
    }
}

// The root moves of an iteration, shared with the helper threads: each searched with the window
// of the best score so far, its alpha.
class RootFrame final : public SplitFrame {
public:
    RootFrame(const Root& root, int iteration) : root(root), iteration(iteration) {}

    Score SearchChild(WorkerState& worker, int position, Score alpha) const override {
        return SearchRootMove(worker, root, iteration, position, alpha);
    }

private:
    const Root& root;
    const int iteration;
};

// The root moves from the outcome's position on, up to the first known loss, shared with the
// helper threads. Their values are accepted in the one-thread order; a time-out leaves a prefix.
[[gnu::noinline]] void SplitRootMoves(Root& root, WorkerState& search, int iteration,
                                      IterationOutcome& outcome) {
    const CandidateList& candidates = root.Candidates;
    int end = outcome.Position;
    while (end < candidates.Count && !IsForcedLoss(root.RootScores[candidates.Cells[end]])) ++end;
    const RootFrame frame(root, iteration);
    SplitPoint split;
    split.Of = SplitPoint::Kind::Root;
    split.Depth = ReportedDepth(iteration);
    split.Count = end;
    split.Frame = &frame;
    split.Key = RootKey(iteration);
    const int from = outcome.Position;
    RunSplit(search, split, from, ChildBounds{outcome.BestScore, InfiniteScore});
    for (int p = from; p < split.NextCommit; ++p)
        Accept(root, outcome, candidates.Cells[p], split.Children[p].Value);
    outcome.Position = split.NextCommit;
    outcome.TimedOut = split.NextCommit < end;
}

// One iteration over the root moves in their present order, each searched with the window
// (best score so far, +infinity); stops at the first move an earlier iteration found lost, or
// when the clock runs out. Stores every finished move's value in the root scores. In a parallel
// search the moves after the first are shared with the helper threads.
template <typename State>
IterationOutcome SearchIteration(Root& root, State& search, int iteration) {
    const CandidateList& candidates = root.Candidates;
    IterationOutcome outcome;
    for (; outcome.Position < candidates.Count; ++outcome.Position) {
        const CellIndex cell = candidates.Cells[outcome.Position];
        if (IsForcedLoss(root.RootScores[cell])) break;
        if constexpr (IsWorker<State>) {
            if (outcome.Position > 0 && MaySplit(search)) {
                SplitRootMoves(root, search, iteration, outcome);
                break;
            }
        }
        const Score value =
            SearchRootMove(search, root, iteration, outcome.Position, outcome.BestScore);
        if ((outcome.TimedOut = ShouldStop(search))) break;
        if constexpr (IsWorker<State>) {
            if (outcome.Position > 0 && RecordsForesight(search))
                search.Shared->Sight->Note(RootKey(iteration), outcome.Position,
                                           value > outcome.BestScore);
        }
        Accept(root, outcome, cell, value);
    }
    return outcome;
}

// The move after a time-out, from the last complete information. When every accepted move
// loses, the one cut off (or the first known loss) has at least not been refuted, and with
// nothing left unsearched the slowest loss is played. Otherwise the iteration's best stands if
// it weighed at least two moves; if not, the previous iteration's best.
CellIndex TimeOutChoice(const IterationOutcome& outcome, const CandidateList& candidates,
                        CellIndex previousBest) {
    if (IsForcedLoss(outcome.BestScore))
        return outcome.Position < candidates.Count ? candidates.Cells[outcome.Position]
                                                   : outcome.BestMove;
    if (outcome.Position >= 2 || previousBest == NoCell) return outcome.BestMove;
    return previousBest;
}

// Iterative deepening over the root candidates, in the order of the previous iteration's scores;
// moves an earlier iteration found lost are not searched again. A time-out, or the node limit,
// drops the unfinished root move and answers from the last complete information.
template <typename State>
void Deepen(Root& root, State& search, const SearchLimits& limits,
            const IterationCallback& onIteration, SearchResult& result) {
    CellIndex bestMove = NoCell;
    // The nodes of the completed iterations: fewer than the node limit, or the search would have
    // stopped at the last stop test of the iteration that reached it.
    uint64_t nodesBefore = 0;
    for (int iteration = 0; iteration <= limits.LastIteration; ++iteration) {
        const CellIndex previousBest = bestMove;
        StableSortByScore(root.Candidates.Cells, root.Candidates.Count, root.RootScores);
        SetNodeCount(search, 0);
        search.StopNodeCount = limits.MaxNodes > 0 ? limits.MaxNodes - nodesBefore : NoNodeLimit;
        if constexpr (IsWorker<State>) search.NodeLimit = search.StopNodeCount;
        const int64_t iterationStart = ClockNanoseconds();
        const IterationOutcome outcome = SearchIteration(root, search, iteration);
        const int64_t iterationEnd = ClockNanoseconds();

        if (outcome.TimedOut || ShouldStop(search)) {
            result.Move = TimeOutChoice(outcome, root.Candidates, previousBest);
            result.TimedOut = true;
            result.Accepted = outcome.Position;
            return;
        }

        bestMove = outcome.BestMove;
        nodesBefore += search.NodeCount;
        IterationReport& report = result.PerIteration[result.Iterations++];
        report = {ReportedDepth(iteration), bestMove, outcome.BestScore, search.NodeCount,
                  static_cast<double>(iterationEnd - iterationStart) * 1e-9};
        if (onIteration) onIteration(report);

        result.Move = bestMove;
        if (outcome.Position < 2 || IsForcedWin(outcome.BestScore) ||
            IsForcedLoss(outcome.BestScore) || !search.Budget.MayDeepen())
            break;
    }
}

// Builds the root's view and the search state's model from the board; answers at once where no
// search is needed, and deepens otherwise.
template <typename State>
SearchResult SearchPosition(State& search, std::span<const Stone, CellCount> board,
                            const SearchLimits& limits, const IterationCallback& onIteration) {
    SearchResult result;
    Root root;
    std::copy(board.begin(), board.end(), search.Model.Board);
    search.Budget = limits.Time;
    const SearchPath path = limits.Path.value_or(BestPath());
    result.Path = PathAvailable(path) ? path : SearchPath::Base;
    root.Nodes = &NodeChainOf(result.Path);
    root.WorkerNodes = &WorkerNodeChainOf(result.Path);
    root.StaticEval =
        BuildModel(search.Model, root.EngineGains, root.OpponentGains, root.Candidates);
    root.RootScores = root.EngineGains;

    if (const std::optional<CellIndex> move = ImmediateAnswer(root, search.Model)) {
        result.Move = *move;
        return result;
    }
    Deepen(root, search, limits, onIteration, result);
    if constexpr (IsWorker<State>) {
        result.ThrownNodes = search.Shared->Thrown.load(std::memory_order_relaxed);
        result.ReusedNodes = search.Shared->Reused.load(std::memory_order_relaxed);
    }
    return result;
}

}  // namespace

SearchResult RootSearch(std::span<const Stone, CellCount> board, const SearchLimits& limits,
                        const IterationCallback& onIteration) {
    // A simulation runs the parallel search even on one processor, which must take the time of
    // the one-thread search.
    if (limits.Threads && (limits.Threads->Helpers() > 0 || limits.Threads->Simulation())) {
        ParallelSearch shared(*limits.Threads, limits.Time);
        WorkerState search;
        search.Shared = &shared;
        return SearchPosition(search, board, limits, onIteration);
    }
    SearchState search;
    return SearchPosition(search, board, limits, onIteration);
}

}  // namespace tarn
