// The text forms of internal values that several answer lines share.
#pragma once

#include <string>

#include "game/types.h"

namespace tarn {

// "x,y" for a cell (column, comma, row), "Invalid" for NoCell.
std::string MoveText(CellIndex cell);

// A score as the manager reads it: a plain number, or "W"/"L" followed by the distance from
// the exact win or loss value (30000) when the magnitude is 29000 or more.
std::string ScoreText(Score score);

}  // namespace tarn
