// A deliberately simple search, written independently of the engine's node chain, that must
// agree with it exactly: same values, same best moves, same node counts. It rebuilds the whole
// model from the board at every node instead of updating it, takes the depth as a plain
// argument, and keeps its candidate lists in vectors. It also counts where the search reads the
// clock, so that it predicts where a node limit or a clock running out stops the search, and
// what the search then answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "search/root.h"
#include "tests/support/boards.h"
#include "tests/support/search.h"

namespace tarn::testing {
namespace {

int W16(int value) {
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

struct Evaluation {
    CellScores engineGains, opponentGains;
    int staticEval;  // from the engine's side
};

Evaluation Evaluate(const TestBoard& board) {
    Evaluation e;
    ModelState model = ModelWith(board);
    CandidateList unused;
    e.staticEval = BuildModel(model, e.engineGains, e.opponentGains, unused);
    return e;
}

int Width(int best, int count) {
    if (best >= 104) return 3;
    if (best >= 0) return 16 - best / 8;
    if (best >= -104) return 17 - (best + 1) / 8;
    if (best >= -28999) return 30;
    return count;
}

int Bound(int b) {
    return b == 31000 || b == -31000 ? b : b >= 29000 ? b + 1 : b <= -29000 ? b - 1 : b;
}
int Result(int r) {
    return r == 31000 || r == -31000 ? r : r >= 29000 ? r - 1 : r <= -29000 ? r + 1 : r;
}
int Clamp(int x) {
    return x > 28999 ? 29998 : x < -28999 ? -29998 : x;
}

struct OracleSearch {
    TestBoard& board;
    uint64_t nodes = 0;
    int64_t readings = 0;  // clock tests: after every child of a node of 3 plies or more

    // The list after the stone at `pos` is played: the last entry takes its place and the cells
    // it brings within reach for the first time follow, in neighbourhood order.
    std::vector<int> ListAfter(std::vector<int> list, int pos) const {
        const int cell = list[pos];
        list[pos] = list.back();
        list.pop_back();
        for (int n : Neighbourhood(cell))
            if (board[n] == EmptyCell && StonesNear(board.data(), n) == 1) list.push_back(n);
        return list;
    }

    // The engine's last reply, valued by the opponent's best immediate answer.
    int Reply(int beta, int pos, const std::vector<int>& list) {
        ++nodes;
        const int cell = list[pos];
        const Evaluation after = Evaluate(board);
        const int base = W16(-after.staticEval);
        const int four = FoursThrough(board.data(), cell, EngineStone);
        if (four == DoubleFour) return -29997;
        if (four != NoFour) return Clamp(W16(base + after.opponentGains[four]));
        int best = -31000;
        for (int answer : ListAfter(list, pos)) {
            ++nodes;
            const int x = W16(base + after.opponentGains[answer]);
            if (x >= beta) {
                best = x;
                break;
            }
            best = std::max(best, x);
        }
        return Clamp(best);
    }

    // The position after a move at list[pos] by `mover`, with `depth` plies left.
    int Node(int depth, int mover, int alpha, int beta, int pos, std::vector<int> list) {
        if (depth == 1) return Reply(beta, pos, list);
        ++nodes;
        const int cell = list[pos];
        const int four = FoursThrough(board.data(), cell, static_cast<Stone>(mover));
        if (four == DoubleFour) return Result(-29998);
        const int received = static_cast<int>(list.size());
        list = ListAfter(list, pos);

        const Evaluation here = Evaluate(board);
        const int next = 3 - mover;
        const CellScores& gains = next == 1 ? here.engineGains : here.opponentGains;
        auto child = [&](int p) {
            board[list[p]] = static_cast<Stone>(next);
            const int r = Node(depth - 1, next, -Bound(beta), -Bound(alpha), p, list);
            board[list[p]] = EmptyCell;
            return -r;
        };

        if (four != NoFour)
            return Result(
                child(static_cast<int>(std::find(list.begin(), list.end(), four) - list.begin())));
        if (list.empty()) return 0;

        int first = 0;
        for (int i = 1; i < static_cast<int>(list.size()); ++i)
            if (gains[list[i]] > gains[list[first]]) first = i;
        int best = -31000, width = received;
        for (int p = 0; p < width && p < static_cast<int>(list.size()); ++p) {
            const int v = child(p == 0 ? first : p);
            if (depth >= 3) ++readings;
            if (v >= beta) return Result(v);
            if (v > alpha && v >= 29000) return Result(v);
            if (v > alpha) {
                alpha = best = v;
                width = Width(v, static_cast<int>(list.size()));
            } else if (v > best && v >= 29000) {
                return Result(v);
            } else if (v > best) {
                best = v;
                width = Width(v, static_cast<int>(list.size()));
            }
            if (p == 0) {
                std::swap(list[0], list[first]);
                std::stable_sort(list.begin() + 1, list.end(),
                                 [&](int a, int b) { return gains[a] > gains[b]; });
            }
        }
        return Result(best);
    }
};

// A root move searched to its end, and the turn's nodes and clock readings once the root has
// tested the clock after it.
struct OracleRootMove {
    int cell, value;
    uint64_t turnNodes;
    int64_t turnReadings;
};

struct OracleIteration {
    int move, score;
    uint64_t nodes;
    std::vector<int> order;                // every root candidate, in this iteration's order
    std::vector<OracleRootMove> searched;  // the moves searched: the order up to a known loss
    int64_t loopReading;                   // the clock test after the move loop
    int64_t deepenReading;                 // the test whether to deepen, or 0 when none is made
};

// The root: iterations 0 to `last`, each over every candidate not yet found lost.
std::vector<OracleIteration> OracleRoot(TestBoard board, int last) {
    const Evaluation root = Evaluate(board);
    std::vector<int> list;
    for (int c = 0; c < CellCount; ++c)
        if (board[c] == EmptyCell && StonesNear(board.data(), c) > 0) list.push_back(c);
    std::vector<int> keys(CellCount);
    for (int c = 0; c < CellCount; ++c) keys[c] = root.engineGains[c];
    std::vector<OracleIteration> iterations;
    uint64_t turnNodes = 0;
    int64_t turnReadings = 0;
    for (int d = 0; d <= last; ++d) {
        std::stable_sort(list.begin(), list.end(), [&](int a, int b) { return keys[a] > keys[b]; });
        OracleSearch search{board};
        OracleIteration iteration{NoCell, -31000, 0, list, {}, 0, 0};
        int& best = iteration.score;
        for (int i = 0; i < static_cast<int>(list.size()) && keys[list[i]] >= -28999; ++i) {
            board[list[i]] = EngineStone;
            const int v = -search.Node(2 * d + 3, 1, -31000, -Bound(best), i, list);
            board[list[i]] = EmptyCell;
            keys[list[i]] = v;
            if (v > best) best = v, iteration.move = list[i];
            iteration.searched.push_back(
                {list[i], v, turnNodes + search.nodes, turnReadings + search.readings + 1 + i});
        }
        iteration.nodes = search.nodes;
        turnNodes += search.nodes;
        turnReadings += search.readings + static_cast<int64_t>(iteration.searched.size()) + 1;
        iteration.loopReading = turnReadings;
        const bool ends = iteration.searched.size() < 2 || best >= 29000 || best <= -29000;
        if (!ends) iteration.deepenReading = ++turnReadings;
        iterations.push_back(iteration);
        if (ends) break;
    }
    return iterations;
}

class OracleTest : public ::testing::TestWithParam<std::tuple<int, SearchPath>> {};

TEST_P(OracleTest, NodeChainMatchesSimpleSearch) {
    const auto [seed, path] = GetParam();
    const TestBoard board = RandomGame(static_cast<unsigned>(seed), 4 + seed % 9 * 2);
    SearchLimits limits;
    limits.LastIteration = 2;
    limits.Path = path;
    const SearchResult real = RootSearch(board, limits);
    ASSERT_EQ(path, real.Path);

    const std::vector<OracleIteration> expected = OracleRoot(board, 2);
    ASSERT_EQ(static_cast<int>(expected.size()), real.Iterations) << "seed " << seed;
    for (int d = 0; d < real.Iterations; ++d) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " iteration " << d);
        EXPECT_EQ(expected[d].move, real.PerIteration[d].BestMove);
        EXPECT_EQ(expected[d].score, real.PerIteration[d].BestScore);
        EXPECT_EQ(expected[d].nodes, real.PerIteration[d].Nodes);
    }
    EXPECT_EQ(real.PerIteration[real.Iterations - 1].BestMove, real.Move);
}

INSTANTIATE_TEST_SUITE_P(Positions, OracleTest,
                         ::testing::Combine(::testing::Range(1, 13),
                                            ::testing::ValuesIn(AvailablePaths())),
                         [](const auto& info) {
                             std::string name = std::to_string(std::get<0>(info.param)) + "_" +
                                                std::string(PathName(std::get<1>(info.param)));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Which rule gave the move of a search that stopped inside an iteration.
enum class StopRule {
    Unrefuted,      // every accepted move loses: the one cut off, or the first known loss
    SlowestLoss,    // every move was searched and loses: the best of them
    IterationBest,  // at least two moves accepted: the best of them
    NewBest,        // exactly two, the second of them better than the previous iteration's best
    OnlyMove,       // one move accepted in the first iteration: that move
    PreviousBest,   // one move accepted in a later iteration: the previous iteration's best
    None,           // the search was not cut off
};

struct PredictedStop {
    int iterations;  // completed and reported
    bool timedOut;
    int accepted;
    int move;
    StopRule rule;
};

// The answer of a search cut off in iteration d after `accepted` root moves, by the rule of a
// time-out written out from its description: when every accepted move loses, the move cut off
// (none cut off: the slowest loss); else the iteration's best if it weighed two moves or more,
// and otherwise the previous iteration's best, if there is one.
PredictedStop CutOff(const std::vector<OracleIteration>& iterations, int d, int accepted) {
    const OracleIteration& it = iterations[d];
    int best = -31000, bestMove = NoCell;
    for (int i = 0; i < accepted; ++i)
        if (it.searched[i].value > best)
            best = it.searched[i].value, bestMove = it.searched[i].cell;
    const int previous = d > 0 ? iterations[d - 1].move : NoCell;
    PredictedStop stop{d, true, accepted, bestMove, StopRule::IterationBest};
    if (best <= -29000) {
        const bool cut = accepted < static_cast<int>(it.order.size());
        stop.rule = cut ? StopRule::Unrefuted : StopRule::SlowestLoss;
        if (cut) stop.move = it.order[accepted];
    } else if (accepted >= 2) {
        if (accepted == 2 && bestMove != previous && previous != NoCell)
            stop.rule = StopRule::NewBest;
    } else if (previous == NoCell) {
        stop.rule = StopRule::OnlyMove;
    } else {
        stop.rule = StopRule::PreviousBest;
        stop.move = previous;
    }
    return stop;
}

// Where the search stops: inside the first root move whose turn nodes reach `maxNodes` (its own
// clock tests or the root's after it), or at the clock reading `reading` (a root move's, the one
// after the move loop, or the test whether to deepen, which ends the search as a completed one).
PredictedStop Predict(const std::vector<OracleIteration>& iterations, uint64_t maxNodes,
                      int64_t reading) {
    const int count = static_cast<int>(iterations.size());
    for (int d = 0; d < count; ++d) {
        const OracleIteration& it = iterations[d];
        for (int i = 0; i < static_cast<int>(it.searched.size()); ++i)
            if ((maxNodes > 0 && it.searched[i].turnNodes >= maxNodes) ||
                (reading > 0 && it.searched[i].turnReadings >= reading))
                return CutOff(iterations, d, i);
        if (reading == it.loopReading)
            return CutOff(iterations, d, static_cast<int>(it.searched.size()));
        if (reading == it.deepenReading) return {d + 1, false, 0, it.move, StopRule::None};
    }
    return {count, false, 0, iterations.back().move, StopRule::None};
}

void ExpectStop(const PredictedStop& expected, const std::vector<OracleIteration>& iterations,
                const SearchResult& real) {
    ASSERT_EQ(expected.iterations, real.Iterations);
    for (int d = 0; d < real.Iterations; ++d) {
        EXPECT_EQ(iterations[d].move, real.PerIteration[d].BestMove) << "iteration " << d;
        EXPECT_EQ(iterations[d].score, real.PerIteration[d].BestScore) << "iteration " << d;
        EXPECT_EQ(iterations[d].nodes, real.PerIteration[d].Nodes) << "iteration " << d;
    }
    EXPECT_EQ(expected.timedOut, real.TimedOut);
    if (expected.timedOut) {
        EXPECT_EQ(expected.accepted, real.Accepted);
    }
    EXPECT_EQ(expected.move, real.Move);
}

// A node limit, and a clock that runs out, stop the search where the simple search predicts, and
// it answers as the rule of a time-out says: at every boundary between two root moves (the limit
// reached exactly at the end of a move, or one node after it), within moves, and beyond the
// whole search. Every branch of the rule is met, both ways where the node limit can reach it.
TEST(OracleStopTest, NodeLimitAndClockStopWhereTheSimpleSearchPredicts) {
    // Quiet middle games (in the first, an iteration's second move beats the previous best), a
    // forced win, and a loss whatever the engine plays.
    const TestBoard boards[] = {RandomGame(7, 18), RandomGame(34, 18), RandomGame(8, 20),
                                EngineWinsPosition(), EngineLosesPosition()};
    const std::vector<SearchPath> paths = AvailablePaths();
    std::set<StopRule> byNodes, byClock;
    for (size_t b = 0; b < std::size(boards); ++b) {
        const std::vector<OracleIteration> iterations = OracleRoot(boards[b], 2);
        SearchLimits limits;
        limits.LastIteration = 2;
        limits.Path = paths[b % paths.size()];
        std::vector<uint64_t> nodeLimits;
        std::vector<int64_t> readings;
        uint64_t before = 0;
        for (const OracleIteration& it : iterations) {
            for (const OracleRootMove& move : it.searched) {
                nodeLimits.insert(nodeLimits.end(), {(before + move.turnNodes) / 2, move.turnNodes,
                                                     move.turnNodes + 1});
                readings.insert(readings.end(), {move.turnReadings, move.turnReadings + 1});
                before = move.turnNodes;
            }
            readings.push_back(it.loopReading);
            if (it.deepenReading) readings.push_back(it.deepenReading);
        }
        readings.push_back(
            std::max(iterations.back().loopReading, iterations.back().deepenReading) + 1);
        for (uint64_t maxNodes : nodeLimits) {
            SCOPED_TRACE(::testing::Message() << "position " << b << ", " << maxNodes << " nodes");
            limits.MaxNodes = maxNodes;
            const PredictedStop expected = Predict(iterations, maxNodes, 0);
            ExpectStop(expected, iterations, RootSearch(boards[b], limits));
            byNodes.insert(expected.rule);
        }
        limits.MaxNodes = 0;
        for (int64_t reading : readings) {
            SCOPED_TRACE(::testing::Message() << "position " << b << ", reading " << reading);
            limits.Time = CountingBudget(reading - 1);
            const PredictedStop expected = Predict(iterations, 0, reading);
            ExpectStop(expected, iterations, RootSearch(boards[b], limits));
            byClock.insert(expected.rule);
        }
    }
    // Every accepted move's nodes come before the root's test after it: the node limit never
    // stops the search after the last move of an iteration, so it never finds the slowest loss.
    for (StopRule rule : {StopRule::Unrefuted, StopRule::IterationBest, StopRule::NewBest,
                          StopRule::OnlyMove, StopRule::PreviousBest, StopRule::None}) {
        EXPECT_TRUE(byNodes.count(rule)) << "no node limit met rule " << static_cast<int>(rule);
        EXPECT_TRUE(byClock.count(rule)) << "no clock test met rule " << static_cast<int>(rule);
    }
    EXPECT_TRUE(byClock.count(StopRule::SlowestLoss));
}

}  // namespace
}  // namespace tarn::testing
