#include "tests/support/boards.h"

#include <algorithm>

namespace tarn::testing {

TestBoard BoardOf(std::initializer_list<StoneAt> stones) {
    TestBoard board{};
    for (const StoneAt& s : stones) board[CellAt(s.X, s.Y)] = static_cast<Stone>(s.Who);
    return board;
}

ModelState ModelWith(const TestBoard& board) {
    ModelState model{};
    std::copy(board.begin(), board.end(), model.Board);
    return model;
}

bool SameModel(const ModelState& a, const ModelState& b) {
    return std::equal(std::begin(a.Board), std::end(a.Board), b.Board) &&
           std::equal(std::begin(a.WindowStates), std::end(a.WindowStates), b.WindowStates) &&
           std::equal(std::begin(a.NeighbourCount), std::end(a.NeighbourCount), b.NeighbourCount);
}

namespace {

// How many of the run's cells hold `what`.
int CountIn(const Stone* board, const CellIndex* cells, Stone what) {
    return static_cast<int>(
        std::count_if(cells, cells + 5, [&](CellIndex c) { return board[c] == what; }));
}

}  // namespace

bool HasFive(const Stone* board) {
    bool five = false;
    ForEachRun([&](const CellIndex* cells) {
        five |=
            CountIn(board, cells, EngineStone) == 5 || CountIn(board, cells, OpponentStone) == 5;
    });
    return five;
}

bool HasFour(const Stone* board) {
    bool four = false;
    ForEachRun([&](const CellIndex* cells) {
        if (CountIn(board, cells, EmptyCell) != 1) return;
        four |=
            CountIn(board, cells, EngineStone) == 4 || CountIn(board, cells, OpponentStone) == 4;
    });
    return four;
}

FourCell FoursThrough(const Stone* board, int cell, Stone who) {
    FourCell found = NoFour;
    ForEachRunThrough(cell, [&](const CellIndex* cells) {
        if (CountIn(board, cells, who) != 4 || CountIn(board, cells, EmptyCell) != 1) return;
        const CellIndex gap =
            *std::find_if(cells, cells + 5, [&](CellIndex c) { return board[c] == EmptyCell; });
        found = found == NoFour || found == gap ? gap : DoubleFour;
    });
    return found;
}

std::vector<CellIndex> Neighbourhood(int cell) {
    std::vector<CellIndex> cells;
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy) {
            const int x = ColumnOf(cell) + dx, y = RowOf(cell) + dy;
            if ((dx != 0 || dy != 0) && OnBoard(x, y)) cells.push_back(CellAt(x, y));
        }
    return cells;
}

int StonesNear(const Stone* board, int cell) {
    int stones = 0;
    for (CellIndex n : Neighbourhood(cell)) stones += board[n] != EmptyCell;
    return stones;
}

TestBoard RandomBoard(std::mt19937& rng, bool allowFive) {
    auto below = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    TestBoard board{};
    const int engineShare = 20 + below(61);
    auto stone = [&] { return below(100) < engineShare ? EngineStone : OpponentStone; };
    auto edgeCoordinate = [&] {
        const int r = below(4);
        return r == 0 ? below(3) : r == 1 ? BoardSize - 1 - below(3) : below(BoardSize);
    };
    switch (below(4)) {
        case 0: {
            const int n = below(120);
            for (int i = 0; i < n; ++i) board[below(CellCount)] = stone();
            break;
        }
        case 1: {
            const int cx = edgeCoordinate(), cy = edgeCoordinate(), radius = 2 + below(4);
            const int n = 1 + below(50);
            for (int i = 0; i < n; ++i) {
                const int x = cx + below(2 * radius + 1) - radius;
                const int y = cy + below(2 * radius + 1) - radius;
                if (OnBoard(x, y)) board[CellAt(x, y)] = stone();
            }
            break;
        }
        case 2: {
            const int cx = edgeCoordinate(), cy = edgeCoordinate();
            const int segments = 1 + below(8);
            for (int s = 0; s < segments; ++s) {
                const LineStep d = DirectionSteps[below(DirectionCount)];
                int x = cx + below(9) - 4, y = cy + below(9) - 4;
                const Stone side = stone();
                const int length = 2 + below(4);
                for (int k = 0; k < length; ++k, x += d.Dx, y += d.Dy)
                    if (OnBoard(x, y) && below(6) != 0) board[CellAt(x, y)] = side;
            }
            const int noise = below(10);
            for (int i = 0; i < noise; ++i) {
                const int x = cx + below(11) - 5, y = cy + below(11) - 5;
                if (OnBoard(x, y)) board[CellAt(x, y)] = stone();
            }
            break;
        }
        default: {
            const int fill = 60 + below(36);
            for (int cell = 0; cell < CellCount; ++cell)
                if (below(100) < fill) board[cell] = stone();
            break;
        }
    }
    while (!allowFive && HasFive(board.data())) {
        ForEachRun([&](const CellIndex* cells) {
            if (CountIn(board.data(), cells, EngineStone) == 5 ||
                CountIn(board.data(), cells, OpponentStone) == 5)
                board[cells[below(5)]] = EmptyCell;
        });
    }
    return board;
}

TestBoard RandomGame(unsigned seed, int stones, bool allowFours) {
    std::mt19937 random(seed);
    TestBoard board{};
    int placed = 0;
    while (placed < stones) {
        const int x = 10 + static_cast<int>(random() % 9) - 4;
        const int y = 10 + static_cast<int>(random() % 9) - 4;
        const int cell = CellAt(x, y);
        if (board[cell] != EmptyCell) continue;
        board[cell] = placed % 2 == 0 ? OpponentStone : EngineStone;
        if (HasFive(board.data()) || (!allowFours && HasFour(board.data()))) {
            board[cell] = EmptyCell;
            continue;
        }
        ++placed;
    }
    return board;
}

TestBoard EngineWinsPosition() {
    return BoardOf({{8, 10, 1}, {9, 10, 1}, {10, 10, 1}, {9, 9, 2}, {12, 14, 2}, {3, 3, 2}});
}

TestBoard EngineLosesPosition() {
    return BoardOf({{8, 10, 2}, {9, 10, 2}, {10, 10, 2}, {9, 8, 2}, {9, 9, 2}, {3, 3, 1}});
}

std::vector<TestBoard> SearchPositions() {
    std::vector<TestBoard> boards;
    for (unsigned seed = 1; seed <= 8; ++seed) boards.push_back(RandomGame(seed, 4 + 3 * seed));
    for (unsigned seed = 20; seed < 26; ++seed) boards.push_back(RandomGame(seed, 12, true));
    std::mt19937 rng(7);
    while (boards.size() < 26) boards.push_back(RandomBoard(rng, false));
    boards.push_back(EngineWinsPosition());
    boards.push_back(EngineLosesPosition());
    TestBoard single{};
    for (int cell = 0; cell < CellCount; ++cell)
        single[cell] = static_cast<Stone>(1 + (ColumnOf(cell) / 2 + RowOf(cell)) % 2);
    single[CellAt(10, 10)] = EmptyCell;
    boards.push_back(single);
    return boards;
}

}  // namespace tarn::testing
