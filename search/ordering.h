// Move ordering: which candidate a node tries first, in which order it tries the rest, and how
// many it tries in all.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
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
// gives the same tree on every compiler and platform. The keys of a candidate list (gains) mostly
// lie within a few hundred points of each other, so a counting sort over that range does the
// work in a few linear passes. Wider ranges pack each key with its position into one unique
// number (key high, earlier positions higher on ties), so that any sort of those numbers gives
// the stable order.
inline void StableSortByScore(CellIndex* cells, int count, const CellScores& keys) {
    constexpr int CountingRange = 512;
    if (count < 2) return;
    Score key[CellCount];
    CellIndex original[CellCount];
    int lowest = keys[cells[0]], highest = lowest;
    for (int i = 0; i < count; ++i) {
        original[i] = cells[i];
        key[i] = keys[cells[i]];
        lowest = std::min<int>(lowest, key[i]);
        highest = std::max<int>(highest, key[i]);
    }
    if (highest - lowest < CountingRange) {
        uint16_t start[CountingRange];
        const int range = highest - lowest + 1;
        std::fill(start, start + range, uint16_t{0});
        for (int i = 0; i < count; ++i) ++start[highest - key[i]];
        for (int b = 0, sum = 0; b < range; ++b) {
            const int n = start[b];
            start[b] = static_cast<uint16_t>(sum);
            sum += n;
        }
        for (int i = 0; i < count; ++i) cells[start[highest - key[i]]++] = original[i];
        return;
    }
    uint32_t packed[CellCount];
    for (int i = 0; i < count; ++i)
        packed[i] = (static_cast<uint32_t>(static_cast<uint16_t>(key[i]) ^ 0x8000u) << 16) |
                    static_cast<uint32_t>(0xFFFF - i);
    std::sort(packed, packed + count, std::greater<uint32_t>());
    for (int i = 0; i < count; ++i) cells[i] = original[0xFFFF - (packed[i] & 0xFFFF)];
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
