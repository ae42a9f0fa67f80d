// A deliberately simple search, written independently of the engine's node chain, that must
// agree with it exactly: same values, same best moves, same node counts. It rebuilds the whole
// model from the board at every node instead of updating it, takes the depth as a plain
// argument, and keeps its candidate lists in vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "search/root.h"
#include "tests/support/boards.h"

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
std::vector<OracleIteration> OracleRoot(TestBoard board, int last) {
    const Evaluation root = Evaluate(board);
    std::vector<int> list;
    for (int c = 0; c < CellCount; ++c)
        if (board[c] == EmptyCell && StonesNear(board.data(), c) > 0) list.push_back(c);
    std::vector<int> keys(CellCount);
    for (int c = 0; c < CellCount; ++c) keys[c] = root.engineGains[c];
    std::vector<OracleIteration> iterations;
    for (int d = 0; d <= last; ++d) {
        std::stable_sort(list.begin(), list.end(), [&](int a, int b) { return keys[a] > keys[b]; });
        OracleSearch search{board};
        int best = -31000, bestMove = NoCell, accepted = 0;
        for (int i = 0; i < static_cast<int>(list.size()) && keys[list[i]] >= -28999;
             ++i, ++accepted) {
            board[list[i]] = EngineStone;
            const int v = -search.Node(2 * d + 3, 1, -31000, -Bound(best), i, list);
            board[list[i]] = EmptyCell;
            keys[list[i]] = v;
            if (v > best) best = v, bestMove = list[i];
        }
        iterations.push_back({bestMove, best, search.nodes});
        if (accepted < 2 || best >= 29000 || best <= -29000) break;
    }
    return iterations;
}

// Every instruction-set path of the search this processor can run, each against the oracle.
std::vector<SearchPath> AvailablePaths() {
    std::vector<SearchPath> paths;
    for (SearchPath path : CompiledPaths())
        if (PathAvailable(path)) paths.push_back(path);
    return paths;
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

}  // namespace
}  // namespace tarn::testing
