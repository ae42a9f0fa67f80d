// The fixed geometry of the 20 by 20 board: the 1152 five-cell windows and the places of their
// states, line by line. The tables are computed at
// compile time. The window numbering is part of the engine's behaviour: where several windows
// qualify, the root takes the last in window order.
#pragma once

#include <array>
#include <cstdint>

#include "game/types.h"

namespace tarn {

inline constexpr int WindowCount = 1152;
inline constexpr int CellsPerWindow = 5;

using WindowCellList = std::array<CellIndex, CellsPerWindow>;

// The four line directions, in the order of the window blocks below: horizontal, vertical,
// anti-diagonal (x falls as y rises) and diagonal. A step is a column and a row difference.
inline constexpr int DirectionCount = 4;
struct LineStep {
    int Dx, Dy;
};
inline constexpr LineStep DirectionSteps[DirectionCount] = {{1, 0}, {0, 1}, {-1, 1}, {1, 1}};

// Windows are numbered in four blocks, one per direction: WindowBlockStart[d] is the first window
// of direction d, and WindowBlockStart[DirectionCount] the window count.
inline constexpr int WindowBlockStart[DirectionCount + 1] = {0, 320, 640, 896, WindowCount};

constexpr int DirectionOfWindow(int window) {
    int direction = 0;
    while (window >= WindowBlockStart[direction + 1]) ++direction;
    return direction;
}

namespace detail {

// Within a direction's block, lines come in a fixed order and windows within a line by rising
// start: rows from the top, columns from the left, anti-diagonals by rising x + y, diagonals by
// falling x - y.
constexpr std::array<WindowCellList, WindowCount> MakeWindowCells() {
    std::array<WindowCellList, WindowCount> windows{};
    int w = 0;
    auto add = [&](int x, int y, int direction) {
        const LineStep step = DirectionSteps[direction];
        for (int k = 0; k < CellsPerWindow; ++k)
            windows[w][k] = CellAt(x + k * step.Dx, y + k * step.Dy);
        ++w;
    };
    // A block that does not end where the next one starts stops the compilation here.
    auto endBlock = [&](int direction) {
        if (w != WindowBlockStart[direction + 1]) throw "window block boundaries disagree";
    };
    for (int y = 0; y < BoardSize; ++y)
        for (int x = 0; x + 4 < BoardSize; ++x) add(x, y, 0);
    endBlock(0);
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y + 4 < BoardSize; ++y) add(x, y, 1);
    endBlock(1);
    for (int sum = 4; sum <= 2 * (BoardSize - 1) - 4; ++sum)
        for (int y = 0; y + 4 < BoardSize; ++y) {
            const int x = sum - y;
            if (x - 4 >= 0 && x < BoardSize) add(x, y, 2);
        }
    endBlock(2);
    for (int diff = BoardSize - 5; diff >= -(BoardSize - 5); --diff)
        for (int y = 0; y + 4 < BoardSize; ++y) {
            const int x = diff + y;
            if (x >= 0 && x + 4 < BoardSize) add(x, y, 3);
        }
    endBlock(3);
    return windows;
}

}  // namespace detail

// The window states are kept line by line (see LineSlots). Each line of a direction gets one slot
// per window start from four cells before its first cell to its last cell, so that the five
// windows through any of its cells, by rising start, take five adjacent slots. The slots of
// starts that would reach off the board belong to no window: they are dead.
struct LineSlotLayout {
    // For every cell and direction, the slot of the window that ends at the cell; the cell's other
    // windows of that direction follow it.
    std::array<std::array<uint16_t, DirectionCount>, CellCount> CellSlots;
    // For every window, its slot.
    std::array<uint16_t, WindowCount> WindowSlots;
    int SlotCount;
};

// A step along each direction as a difference of cell numbers.
constexpr int DirectionStride(int direction) {
    return DirectionSteps[direction].Dy * BoardSize + DirectionSteps[direction].Dx;
}

namespace detail {

constexpr LineSlotLayout MakeLineSlots(const std::array<WindowCellList, WindowCount>& windowCells) {
    LineSlotLayout layout{};
    auto onBoard = [](int x, int y) { return x >= 0 && y >= 0 && x < BoardSize && y < BoardSize; };
    int next = 0;
    for (int direction = 0; direction < DirectionCount; ++direction) {
        const LineStep step = DirectionSteps[direction];
        for (int cell = 0; cell < CellCount; ++cell) {
            const int x = ColumnOf(cell), y = RowOf(cell);
            if (onBoard(x - step.Dx, y - step.Dy)) continue;  // not the first cell of its line
            int length = 0;
            for (int cx = x, cy = y; onBoard(cx, cy); cx += step.Dx, cy += step.Dy, ++length)
                layout.CellSlots[CellAt(cx, cy)][direction] = static_cast<uint16_t>(next + length);
            next += length + 4;
        }
    }
    for (int w = 0; w < WindowCount; ++w)
        layout.WindowSlots[w] =
            static_cast<uint16_t>(layout.CellSlots[windowCells[w][0]][DirectionOfWindow(w)] + 4);
    layout.SlotCount = next;
    return layout;
}

}  // namespace detail

// WindowCells[w][k]: the k-th cell of window w.
inline constexpr std::array<WindowCellList, WindowCount> WindowCells = detail::MakeWindowCells();
// LineSlots.CellSlots[c][d]: the first of the five slots of cell c's windows in direction d;
// LineSlots.WindowSlots[w]: the slot of window w.
inline constexpr LineSlotLayout LineSlots = detail::MakeLineSlots(WindowCells);
inline constexpr int LineSlotCount = LineSlots.SlotCount;

}  // namespace tarn
