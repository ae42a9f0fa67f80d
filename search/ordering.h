// Move ordering: which candidate a node tries first, in which order it tries the rest, and how
// many it tries in all.
#pragma once

#include <utility>

#include "game/model.h"

namespace tarn {

// The position of the candidate with the highest gain; the earliest of equal gains wins.
inline int FirstChild(const CandidateList& candidates, const CellScores& gains) {
    int first = 0;
    Score best = gains[candidates.Cells[0]];
    for (int i = 1; i < candidates.Count; ++i) {
        const Score gain = gains[candidates.Cells[i]];
        if (gain > best) {
            best = gain;
            first = i;
        }
    }
    return first;
}

// Sorts cells by decreasing key; cells with equal keys keep their order, so a position always
// gives the same tree on every compiler and platform.
inline void StableSortByScore(CellIndex* cells, int count, const CellScores& keys) {
    for (int i = 1; i < count; ++i) {
        const CellIndex cell = cells[i];
        const Score key = keys[cell];
        int j = i;
        for (; j > 0 && keys[cells[j - 1]] < key; --j) cells[j] = cells[j - 1];
        cells[j] = cell;
    }
}

// Once the first child is searched: it moves to the front, and the rest are sorted by gain.
inline void ChildOrder(CandidateList& candidates, int first, const CellScores& gains) {
    std::swap(candidates.Cells[0], candidates.Cells[first]);
    StableSortByScore(candidates.Cells + 1, candidates.Count - 1, gains);
}

// How many children a node examines in all, counting its first, given its best value so far:
// the worse the position looks for the side to move, the more replies it examines, and a
// position that is lost already examines all `count` of them.
constexpr int SearchWidth(Score best, int count) {
    if (best >= 104) return 3;
    if (best >= 0) return 16 - best / 8;
    if (best >= -104) return 17 - (best + 1) / 8;
    if (best > -WinThreshold) return 30;
    return count;
}

// The first position at which a cell stands in the list. The completion cell of a four always
// stands there, since it lies next to a stone of the four.
inline int PositionOf(const CandidateList& candidates, CellIndex cell) {
    int position = 0;
    while (position + 1 < candidates.Count && candidates.Cells[position] != cell) ++position;
    return position;
}

}  // namespace tarn
