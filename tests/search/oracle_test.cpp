// A deliberately simple search, written independently of the engine's node chain, that must
// agree with it exactly: same values, same best moves, same node counts. It rebuilds the whole
// model from the board at every node instead of updating it, takes the depth as a plain
// argument, and keeps its candidate lists in vectors.
#include <algorithm>
#include <set>
#include <vector>

#include "search/root.h"
#include "search_fixture.h"

namespace tarn::testing {
namespace {

int W16(int value) {
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

struct Evaluation {
    CellScores engineGains, opponentGains;
    int staticEval;  // from the engine's side
};

Evaluation Evaluate() {
    Evaluation e;
    CandidateList unused;
    e.staticEval = BuildModel(Game.Board, e.engineGains, e.opponentGains, unused);
    return e;
}

// The completion cells of the fours that a stone of `who` at `cell` has just made.
int FoursMadeBy(int cell, int who) {
    std::set<int> cells;
    const int weight = who == 1 ? 6 : 1;
    for (int w = 0; w < WindowCount; ++w) {
        const auto& window = WindowCells[w];
        if (std::find(window.begin(), window.end(), cell) == window.end()) continue;
        int state = 0, empty = -1;
        for (CellIndex c : window) {
            if (Game.Board[c] == EmptyCell) empty = c;
            state += Game.Board[c] == 1 ? 6 : Game.Board[c] == 2 ? 1 : 0;
        }
        if (state == 4 * weight) cells.insert(empty);
    }
    if (cells.empty()) return NoFour;
    return cells.size() == 1 ? *cells.begin() : DoubleFour;
}

// The cells within two rows and columns of `cell`, column by column.
std::vector<int> Neighbourhood(int cell) {
    std::vector<int> cells;
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy) {
            const int x = ColumnOf(cell) + dx, y = RowOf(cell) + dy;
            if ((dx != 0 || dy != 0) && x >= 0 && y >= 0 && x < BoardSize && y < BoardSize)
                cells.push_back(CellAt(x, y));
        }
    return cells;
}

// Whether no stone but the one at `except` lies within two rows and columns of `cell`.
bool OnlyStoneNearby(int cell, int except) {
    for (int n : Neighbourhood(cell))
        if (n != except && Game.Board[n] != EmptyCell) return false;
    return true;
}

// The list after the stone at `pos` is played: the last entry takes its place and the cells it
// brings within reach for the first time follow, in neighbourhood order.
std::vector<int> ListAfter(std::vector<int> list, int pos) {
    const int cell = list[pos];
    list[pos] = list.back();
    list.pop_back();
    for (int n : Neighbourhood(cell))
        if (Game.Board[n] == EmptyCell && OnlyStoneNearby(n, cell)) list.push_back(n);
    return list;
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
    uint64_t nodes = 0;

    // The engine's last reply, valued by the opponent's best immediate answer.
    int Reply(int beta, int pos, const std::vector<int>& list) {
        ++nodes;
        const int cell = list[pos];
        const Evaluation after = Evaluate();
        const int base = W16(-after.staticEval);
        const int four = FoursMadeBy(cell, 1);
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
        const int four = FoursMadeBy(cell, mover);
        if (four == DoubleFour) return Result(-29998);
        const int received = static_cast<int>(list.size());
        list = ListAfter(list, pos);

        const Evaluation here = Evaluate();
        const int next = 3 - mover;
        const CellScores& gains = next == 1 ? here.engineGains : here.opponentGains;
        auto child = [&](int p) {
            Game.Board[list[p]] = static_cast<Stone>(next);
            const int r = Node(depth - 1, next, -Bound(beta), -Bound(alpha), p, list);
            Game.Board[list[p]] = EmptyCell;
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

struct OracleIteration {
    int move, score;
    uint64_t nodes;
};

// The root: iterations 0 to `last`, each over every candidate not yet found lost.
std::vector<OracleIteration> OracleRoot(int last) {
    const Evaluation root = Evaluate();
    std::vector<int> list;
    for (int c = 0; c < CellCount; ++c)
        if (Game.Board[c] == EmptyCell && !OnlyStoneNearby(c, -1)) list.push_back(c);
    std::vector<int> keys(root.engineGains.Values, root.engineGains.Values + CellCount);
    std::vector<OracleIteration> iterations;
    for (int d = 0; d <= last; ++d) {
        std::stable_sort(list.begin(), list.end(), [&](int a, int b) { return keys[a] > keys[b]; });
        OracleSearch search;
        int best = -31000, bestMove = NoCell, accepted = 0;
        for (int i = 0; i < static_cast<int>(list.size()) && keys[list[i]] >= -28999;
             ++i, ++accepted) {
            Game.Board[list[i]] = EngineStone;
            const int v = -search.Node(2 * d + 3, 1, -31000, -Bound(best), i, list);
            Game.Board[list[i]] = EmptyCell;
            keys[list[i]] = v;
            if (v > best) best = v, bestMove = list[i];
        }
        iterations.push_back({bestMove, best, search.nodes});
        if (accepted < 2 || best >= 29000 || best <= -29000) break;
    }
    return iterations;
}

class OracleTest : public ::testing::TestWithParam<int> {};

TEST_P(OracleTest, NodeChainMatchesSimpleSearch) {
    const int seed = GetParam();
    SetRandomPosition(static_cast<unsigned>(seed), 4 + seed % 9 * 2);
    Stone before[CellCount];
    std::memcpy(before, Game.Board, CellCount);

    SearchOptions options;
    options.UseClock = false;
    options.LastIteration = 2;
    const SearchResult real = RunRootSearch(options);
    ASSERT_EQ(0, std::memcmp(before, Game.Board, CellCount));

    const std::vector<OracleIteration> expected = OracleRoot(2);
    ASSERT_EQ(static_cast<int>(expected.size()), real.Iterations) << "seed " << seed;
    for (int d = 0; d < real.Iterations; ++d) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " iteration " << d);
        EXPECT_EQ(expected[d].move, real.PerIteration[d].BestMove);
        EXPECT_EQ(expected[d].score, real.PerIteration[d].BestScore);
        EXPECT_EQ(expected[d].nodes, real.PerIteration[d].Nodes);
    }
    EXPECT_EQ(real.PerIteration[real.Iterations - 1].BestMove, real.Move);
}

INSTANTIATE_TEST_SUITE_P(Positions, OracleTest, ::testing::Range(1, 13));

}  // namespace
}  // namespace tarn::testing
