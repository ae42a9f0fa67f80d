#include "protocol/text_forms.h"

#include <charconv>

namespace tarn {

namespace {

// Builds short texts in a local buffer: both forms fit the string's inline storage, so the
// search report that uses them allocates nothing.
std::string Join(const char* prefix, int first, const char* separator = nullptr, int second = 0) {
    char text[32];
    char* end = text;
    for (const char* p = prefix; *p; ++p) *end++ = *p;
    end = std::to_chars(end, text + sizeof text, first).ptr;
    if (separator) {
        for (const char* p = separator; *p; ++p) *end++ = *p;
        end = std::to_chars(end, text + sizeof text, second).ptr;
    }
    return std::string(text, end);
}

}  // namespace

std::string MoveText(CellIndex cell) {
    if (cell == NoCell) return "Invalid";
    return Join("", ColumnOf(cell), ",", RowOf(cell));
}

std::string ScoreText(Score score) {
    if (IsForcedWin(score)) return Join("W", FiveValue - score);
    if (IsForcedLoss(score)) return Join("L", score + FiveValue);
    return Join("", score);
}

}  // namespace tarn
