// The engine's basic vocabulary: cells, scores and stones of the 20 by 20 board.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

// The unit of the processor's caches: data that threads share apart, or that is copied in
// blocks, is aligned to it.
inline constexpr size_t CacheLineBytes = 64;

inline constexpr int BoardSize = 20;
inline constexpr int CellCount = BoardSize * BoardSize;

// A cell number x + 20 * y (column x, row y). NoCell stands for "no cell at all".
using CellIndex = int16_t;
inline constexpr CellIndex NoCell = 32767;

constexpr CellIndex CellAt(int x, int y) {
    return static_cast<CellIndex>(x + BoardSize * y);
}
constexpr int ColumnOf(int cell) {
    return cell % BoardSize;
}
constexpr int RowOf(int cell) {
    return cell / BoardSize;
}

// Scores, gains and evaluations are 16-bit and wrap around on overflow. Sums are taken in
// int and narrowed, so the wrap is well defined (no signed overflow in C++ terms).
using Score = int16_t;

constexpr Score Wrap16(int value) {
    return static_cast<Score>(static_cast<uint16_t>(value));
}

inline constexpr Score InfiniteScore = 31000;
inline constexpr Score WinThreshold = 29000;
// The value of a window holding five stones of one side: the exact win. Forced results count
// their distance from it in plies (a win in three plies is worth FiveValue - 3).
inline constexpr Score FiveValue = 30000;

// Forced results: a five for the side the score is seen from, or for the other side, found
// within the search's horizon. Every score between the two is an evaluation.
constexpr bool IsForcedWin(int score) {
    return score >= WinThreshold;
}
constexpr bool IsForcedLoss(int score) {
    return score <= -WinThreshold;
}

// What a board cell holds. The two sides use the stone values as their own numbers.
using Stone = uint8_t;
inline constexpr Stone EmptyCell = 0;
inline constexpr Stone EngineStone = 1;
inline constexpr Stone OpponentStone = 2;

enum class Side : uint8_t { Engine = EngineStone, Opponent = OpponentStone };

constexpr Side OtherSide(Side side) {
    return side == Side::Engine ? Side::Opponent : Side::Engine;
}

}  // namespace tarn
