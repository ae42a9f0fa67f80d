#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "game/geometry.h"
#include "tests/support/boards.h"

namespace tarn {
namespace {

using testing::At;
using testing::Point;

// The windows through a cell, in increasing window number.
std::vector<int> WindowsOf(Point p) {
    std::vector<int> windows;
    for (int w = 0; w < WindowCount; ++w)
        if (std::find(WindowCells[w].begin(), WindowCells[w].end(), At(p)) != WindowCells[w].end())
            windows.push_back(w);
    return windows;
}

std::vector<CellIndex> Cells(std::initializer_list<Point> points) {
    std::vector<CellIndex> cells;
    for (Point p : points) cells.push_back(At(p));
    return cells;
}

std::vector<CellIndex> WindowOf(int w) {
    return std::vector<CellIndex>(WindowCells[w].begin(), WindowCells[w].end());
}

// The five cells from (x, y) on, stepping by (dx, dy).
std::vector<CellIndex> StraightRun(int x, int y, int dx, int dy) {
    std::vector<CellIndex> cells;
    for (int k = 0; k < 5; ++k) cells.push_back(CellAt(x + k * dx, y + k * dy));
    return cells;
}

TEST(Geometry, WindowsOfNamedCells) {
    EXPECT_EQ(WindowsOf({0, 0}), (std::vector<int>{0, 320, 1016}));
    EXPECT_EQ(WindowsOf({1, 0}), (std::vector<int>{0, 1, 336, 1001}));
    EXPECT_EQ(WindowsOf({19, 19}), (std::vector<int>{319, 639, 1031}));

    std::vector<int> middle;
    for (int first : {64, 384, 650, 1016})
        for (int w = first; w < first + 5; ++w) middle.push_back(w);
    EXPECT_EQ(WindowsOf({4, 4}), middle);
    for (int first : {64, 384, 650, 1016}) {
        EXPECT_EQ(WindowCells[first][4], 84) << "window " << first;
        EXPECT_EQ(WindowCells[first + 4][0], 84) << "window " << first + 4;
    }
}

TEST(Geometry, NamedWindows) {
    EXPECT_EQ(WindowOf(320), (std::vector<CellIndex>{0, 20, 40, 60, 80}));
    EXPECT_EQ(WindowOf(321), (std::vector<CellIndex>{20, 40, 60, 80, 100}));
    EXPECT_EQ(WindowOf(640), Cells({{4, 0}, {3, 1}, {2, 2}, {1, 3}, {0, 4}}));
    EXPECT_EQ(WindowOf(641), StraightRun(5, 0, -1, 1));
    EXPECT_EQ(WindowOf(642), StraightRun(4, 1, -1, 1));
    EXPECT_EQ(WindowOf(895), StraightRun(19, 15, -1, 1));
    EXPECT_EQ(WindowOf(896), StraightRun(15, 0, 1, 1));
    EXPECT_EQ(WindowOf(897), StraightRun(14, 0, 1, 1));
    EXPECT_EQ(WindowOf(898), StraightRun(15, 1, 1, 1));
    EXPECT_EQ(WindowOf(1151), StraightRun(0, 15, 1, 1));
}

TEST(Geometry, StraightBlocksFollowTheirNumbering) {
    for (int y = 0; y < BoardSize; ++y)
        for (int x = 0; x <= 15; ++x) EXPECT_EQ(WindowOf(16 * y + x), StraightRun(x, y, 1, 0));
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y <= 15; ++y)
            EXPECT_EQ(WindowOf(320 + 16 * x + y), StraightRun(x, y, 0, 1));
}

// Every window is a straight run of five on the board, every run appears exactly once, and the
// diagonal blocks walk their lines in the documented order.
TEST(Geometry, WindowsCoverEveryRunOnceInBlockOrder) {
    std::set<std::vector<CellIndex>> seen;
    for (int w = 0; w < WindowCount; ++w) {
        std::vector<CellIndex> cells = WindowOf(w);
        const int x = ColumnOf(cells[0]), y = RowOf(cells[0]);
        const int dx = ColumnOf(cells[1]) - x, dy = RowOf(cells[1]) - y;
        const int direction = DirectionOfWindow(w);
        ASSERT_EQ(dx, DirectionSteps[direction].Dx) << "window " << w;
        ASSERT_EQ(dy, DirectionSteps[direction].Dy) << "window " << w;
        ASSERT_TRUE(testing::OnBoard(x + 4 * dx, y + 4 * dy)) << "window " << w;
        ASSERT_EQ(cells, StraightRun(x, y, dx, dy)) << "window " << w;
        EXPECT_TRUE(seen.insert(cells).second) << "window " << w;
        if (w == WindowBlockStart[direction]) continue;
        const std::vector<CellIndex> previous = WindowOf(w - 1);
        const int px = ColumnOf(previous[0]), py = RowOf(previous[0]);
        if (direction == 2) {
            // Constant x + y rising from line to line, start y rising within a line.
            EXPECT_TRUE(px + py < x + y || (px + py == x + y && py + 1 == y)) << "window " << w;
        } else if (direction == 3) {
            // Constant x - y falling from line to line, start y rising within a line.
            EXPECT_TRUE(px - py > x - y || (px - py == x - y && py + 1 == y)) << "window " << w;
        }
    }
    int runs = 0;
    testing::ForEachRun([&](const CellIndex*) { ++runs; });
    EXPECT_EQ(runs, WindowCount);
    EXPECT_EQ(seen.size(), static_cast<size_t>(WindowCount));
}

// A cell's five slots in a direction hold, in order, the windows from the one ending at the cell to
// the one starting there; a start whose window would leave the board has a dead slot that is no
// window's.
TEST(Geometry, LineSlotsHoldACellsWindowsSideBySide) {
    std::set<int> windowSlots(LineSlots.WindowSlots.begin(), LineSlots.WindowSlots.end());
    ASSERT_EQ(windowSlots.size(), static_cast<size_t>(WindowCount));
    EXPECT_LT(*windowSlots.rbegin(), LineSlotCount);
    for (int cell = 0; cell < CellCount; ++cell)
        for (int d = 0; d < DirectionCount; ++d) {
            const LineStep step = DirectionSteps[d];
            for (int j = 0; j < 5; ++j) {
                const int slot = LineSlots.CellSlots[cell][d] + j;
                const int x = ColumnOf(cell) + (j - 4) * step.Dx,
                          y = RowOf(cell) + (j - 4) * step.Dy;
                if (!testing::OnBoard(x, y) ||
                    !testing::OnBoard(x + 4 * step.Dx, y + 4 * step.Dy)) {
                    EXPECT_EQ(windowSlots.count(slot), 0u) << "cell " << cell << " slot " << j;
                    continue;
                }
                int w = WindowBlockStart[d];
                while (WindowCells[w][0] != CellAt(x, y)) ++w;
                EXPECT_EQ(LineSlots.WindowSlots[w], slot) << "cell " << cell << " slot " << j;
            }
        }
}

}  // namespace
}  // namespace tarn
