// What the tests share: boards built from stone lists, random positions, and plain derivations
// of runs of five, fours and neighbourhoods that use none of the engine's tables, so that they
// can serve as an oracle for them.
#pragma once

#include <array>
#include <initializer_list>
#include <random>
#include <vector>

#include "game/geometry.h"
#include "game/model.h"
#include "game/types.h"

namespace tarn::testing {

using TestBoard = std::array<Stone, CellCount>;

struct Point {
    int X, Y;
};

inline CellIndex At(Point p) {
    return CellAt(p.X, p.Y);
}

struct StoneAt {
    int X, Y;
    int Who;  // 1 the engine's stone, 2 the opponent's
};

inline bool OnBoard(int x, int y) {
    return x >= 0 && y >= 0 && x < BoardSize && y < BoardSize;
}

TestBoard BoardOf(std::initializer_list<StoneAt> stones);

// A model state holding the board, ready for BuildModel.
ModelState ModelWith(const TestBoard& board);

// Whether two model states hold the same board, window states and neighbour counts (the dead
// slots and the spare counts around the board included).
bool SameModel(const ModelState& a, const ModelState& b);

// Calls f(cells) for every run of five cells on the board, found by brute force over start cell
// and direction, in no particular order.
template <typename F>
void ForEachRun(F&& f) {
    for (int y = 0; y < BoardSize; ++y)
        for (int x = 0; x < BoardSize; ++x)
            for (const LineStep d : DirectionSteps) {
                if (!OnBoard(x, y) || !OnBoard(x + 4 * d.Dx, y + 4 * d.Dy)) continue;
                CellIndex cells[5];
                for (int k = 0; k < 5; ++k) cells[k] = CellAt(x + k * d.Dx, y + k * d.Dy);
                f(cells);
            }
}

// Calls f(cells) for every run of five cells that contains `cell`.
template <typename F>
void ForEachRunThrough(int cell, F&& f) {
    const int x = ColumnOf(cell), y = RowOf(cell);
    for (const LineStep d : DirectionSteps)
        for (int back = 0; back < 5; ++back) {
            const int sx = x - back * d.Dx, sy = y - back * d.Dy;
            if (!OnBoard(sx, sy) || !OnBoard(sx + 4 * d.Dx, sy + 4 * d.Dy)) continue;
            CellIndex cells[5];
            for (int k = 0; k < 5; ++k) cells[k] = CellAt(sx + k * d.Dx, sy + k * d.Dy);
            f(cells);
        }
}

// Whether some run of five holds five stones of one side.
bool HasFive(const Stone* board);

// Whether some run of five holds four stones of one side and none of the other.
bool HasFour(const Stone* board);

// The fours a stone of `who` standing at `cell` makes, read off the board: NoFour, the one cell
// that completes them all, or DoubleFour when they need different cells.
FourCell FoursThrough(const Stone* board, int cell, Stone who);

// The cells within two rows and columns of `cell`, column by column.
std::vector<CellIndex> Neighbourhood(int cell);

// How many stones stand within two rows and columns of `cell`.
int StonesNear(const Stone* board, int cell);

// A random board of one of several kinds: scattered stones, a cluster around a random centre
// (often at an edge or a corner), random line segments that make threes, fours and fives, or a
// nearly full board. With `allowFive` false, stones are taken off until no five is left.
TestBoard RandomBoard(std::mt19937& rng, bool allowFive);

// A position from a short random game around the centre: stones alternate between the sides,
// the opponent first, and no five (and no four, unless allowed) is made. Varied by the seed,
// reproducible on every platform.
TestBoard RandomGame(unsigned seed, int stones, bool allowFours = false);

// Positions of every kind the search meets: quiet openings and middle games, lines with threes
// and fours for either side (forced wins and losses, double fours), crowded and nearly full
// boards, and a board with a single empty cell.
std::vector<TestBoard> SearchPositions();

// The engine's open three on row 10, (8,10) to (10,10): it wins by making an open four.
TestBoard EngineWinsPosition();
// The opponent's open three with a spare stone: the engine loses whatever it plays.
TestBoard EngineLosesPosition();

}  // namespace tarn::testing
