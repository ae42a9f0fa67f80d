// Small helpers shared by the game tests: setting up boards and a from-scratch view of the
// five-cell runs that does not use the engine's tables.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "game/game_state.h"
#include "game/model.h"
#include "game/types.h"

namespace tarn::testing {

struct Point {
    int X, Y;
};

inline CellIndex At(Point p) {
    return CellAt(p.X, p.Y);
}

inline bool OnBoard(int x, int y) {
    return x >= 0 && y >= 0 && x < BoardSize && y < BoardSize;
}

// Clears the game's board and puts the given stones on it.
inline void SetBoard(std::initializer_list<Point> engine, std::initializer_list<Point> opponent) {
    Game.Reset();
    for (Point p : engine) Game.Board[At(p)] = EngineStone;
    for (Point p : opponent) Game.Board[At(p)] = OpponentStone;
}

// The four line directions; every five-cell run is a start cell plus one of them.
inline constexpr int Directions[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};

// Calls f(cells) for every run of five cells on the board, found by brute force over start cell
// and direction, in no particular order.
template <typename F>
void ForEachRun(F&& f) {
    for (int y = 0; y < BoardSize; ++y)
        for (int x = 0; x < BoardSize; ++x)
            for (const auto& d : Directions) {
                if (!OnBoard(x + 4 * d[0], y + 4 * d[1])) continue;
                CellIndex cells[5];
                for (int k = 0; k < 5; ++k) cells[k] = CellAt(x + k * d[0], y + k * d[1]);
                f(cells);
            }
}

// Calls f(cells) for every run of five cells that contains `cell`.
template <typename F>
void ForEachRunThrough(int cell, F&& f) {
    const int x = ColumnOf(cell), y = RowOf(cell);
    for (const auto& d : Directions)
        for (int back = 0; back < 5; ++back) {
            const int sx = x - back * d[0], sy = y - back * d[1];
            if (!OnBoard(sx, sy) || !OnBoard(sx + 4 * d[0], sy + 4 * d[1])) continue;
            CellIndex cells[5];
            for (int k = 0; k < 5; ++k) cells[k] = CellAt(sx + k * d[0], sy + k * d[1]);
            f(cells);
        }
}

// Whether some run of five holds five stones of one side.
inline bool HasFive(const Stone* board) {
    bool five = false;
    ForEachRun([&](const CellIndex* cells) {
        const Stone first = board[cells[0]];
        if (first == EmptyCell) return;
        for (int k = 1; k < 5; ++k)
            if (board[cells[k]] != first) return;
        five = true;
    });
    return five;
}

// Fills the game's board with a random position of one of several kinds: scattered stones,
// a cluster around a random centre (often at an edge or a corner), random line segments that
// make threes, fours and fives, or a nearly full board. With `allowFive` false, stones are taken
// off until no five is left.
inline void RandomBoard(std::mt19937& rng, bool allowFive) {
    auto below = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Game.Reset();
    Stone* board = Game.Board;
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
                const auto& d = Directions[below(4)];
                int x = cx + below(9) - 4, y = cy + below(9) - 4;
                const Stone side = stone();
                const int length = 2 + below(4);
                for (int k = 0; k < length; ++k, x += d[0], y += d[1])
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
    while (!allowFive && HasFive(board)) {
        ForEachRun([&](const CellIndex* cells) {
            const Stone first = board[cells[0]];
            if (first == EmptyCell) return;
            for (int k = 1; k < 5; ++k)
                if (board[cells[k]] != first) return;
            board[cells[below(5)]] = EmptyCell;
        });
    }
}

}  // namespace tarn::testing
