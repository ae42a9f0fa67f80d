// Shared helpers of the search tests: setting up positions on the process-wide board.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>

#include "game/game_state.h"
#include "game/model.h"
#include "search/node.h"

namespace tarn::testing {

struct Stone3 {
    int x, y, who;
};

inline void SetBoard(std::initializer_list<Stone3> stones) {
    Game = GameState{};
    Game.Reset();
    for (const Stone3& s : stones) Game.Place(CellAt(s.x, s.y), static_cast<Stone>(s.who));
}

// Whether some window holds four stones of one side and none of the other.
inline bool HasFourOnBoard() {
    for (const auto& window : WindowCells) {
        int engine = 0, opponent = 0;
        for (CellIndex c : window) {
            engine += Game.Board[c] == EngineStone;
            opponent += Game.Board[c] == OpponentStone;
        }
        if ((engine == 4 && opponent == 0) || (opponent == 4 && engine == 0)) return true;
    }
    return false;
}

// A position from a short random game around the centre: stones alternate between the sides
// and no five (and no four, unless allowed) is made. Varied by the seed, reproducible on every
// platform.
inline void SetRandomPosition(unsigned seed, int stones, bool allowFours = false) {
    std::mt19937 random(seed);
    Game = GameState{};
    Game.Reset();
    auto makesFive = [](int cell, int who) {
        const int dx[] = {1, 0, 1, 1}, dy[] = {0, 1, 1, -1};
        for (int d = 0; d < 4; ++d) {
            int run = 1;
            for (int sign : {-1, 1})
                for (int k = 1;; ++k) {
                    const int x = ColumnOf(cell) + sign * k * dx[d],
                              y = RowOf(cell) + sign * k * dy[d];
                    if (x < 0 || y < 0 || x >= BoardSize || y >= BoardSize) break;
                    if (Game.Board[CellAt(x, y)] != who) break;
                    ++run;
                }
            if (run >= 5) return true;
        }
        return false;
    };
    int placed = 0;
    while (placed < stones) {
        const int x = 10 + static_cast<int>(random() % 9) - 4;
        const int y = 10 + static_cast<int>(random() % 9) - 4;
        const int cell = CellAt(x, y);
        const int who = placed % 2 == 0 ? 2 : 1;
        if (Game.Board[cell] != EmptyCell || makesFive(cell, who)) continue;
        Game.Board[cell] = static_cast<Stone>(who);
        const bool four = HasFourOnBoard();
        Game.Board[cell] = EmptyCell;
        if (four && !allowFours) continue;
        Game.Place(static_cast<CellIndex>(cell), static_cast<Stone>(who));
        ++placed;
    }
}

}  // namespace tarn::testing
