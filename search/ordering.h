// Move ordering: which candidate a node tries first, in which order it tries the rest, and how
// many it tries in all.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#ifdef __AVX2__
#include <immintrin.h>
#endif

#include "game/model.h"
#include "game/path_namespace.h"

namespace tarn {
inline namespace TARN_PATH_NAMESPACE {

// The gains of a list's candidates gathered in list order, with their range. A node reads its
// gains once for the first child and sorts the rest by the same keys afterwards.
struct ListKeys {
    Score Keys[CellCount];
    int Lowest, Highest;
};

// The comparison of the wide-range sort, a type of this path's own so that the sort's template
// instances belong to the path too.
struct Descending {
    bool operator()(uint32_t a, uint32_t b) const { return a > b; }
};

// Sorts the cells, with their keys alongside, by decreasing key; cells with equal keys keep their
// order, so that a position always gives the same tree on every compiler and platform. The keys of
// a candidate list (gains) mostly lie within a few hundred points of each other, and a counting
// sort over that range needs only a few linear passes. Wider ranges pack each key with its
// position into one unique number (key high, earlier positions higher on ties), so that any sort
// of those numbers gives the stable order.
inline void StableSortByKeys(CellIndex* cells, const Score* keys, int count, int lowest,
                             int highest) {
    if (count < 2) return;
    CellIndex original[CellCount];
    std::copy(cells, cells + count, original);
    constexpr int CountingRange = 512;
    if (highest - lowest < CountingRange) {
        uint16_t start[CountingRange];
        const int range = highest - lowest + 1;
        std::fill(start, start + range, uint16_t{0});
        // Each entry's place among the equal keys before it is taken while counting, so that
        // only one of the two passes waits on the counter it has just raised.
        uint16_t earlier[CellCount];
        for (int i = 0; i < count; ++i) earlier[i] = start[highest - keys[i]]++;
        for (int bucket = 0, sum = 0; bucket < range; ++bucket) {
            const int size = start[bucket];
            start[bucket] = static_cast<uint16_t>(sum);
            sum += size;
        }
        for (int i = 0; i < count; ++i) cells[start[highest - keys[i]] + earlier[i]] = original[i];
        return;
    }
    uint32_t packed[CellCount];
    for (int i = 0; i < count; ++i)
        packed[i] = (static_cast<uint32_t>(static_cast<uint16_t>(keys[i]) ^ 0x8000u) << 16) |
                    static_cast<uint32_t>(0xFFFF - i);
    std::sort(packed, packed + count, Descending{});
    for (int i = 0; i < count; ++i) cells[i] = original[0xFFFF - (packed[i] & 0xFFFF)];
}

// The root's order: the whole list by decreasing score, equal scores in their present order.
inline void StableSortByScore(CellIndex* cells, int count, const CellScores& scores) {
    if (count < 2) return;
    Score keys[CellCount];
    for (int i = 0; i < count; ++i) keys[i] = scores[cells[i]];
    const auto [lowest, highest] = std::minmax_element(keys, keys + count);
    StableSortByKeys(cells, keys, count, *lowest, *highest);
}

#ifdef __AVX2__
// The position of the candidate with the highest gain; the earliest of equal gains wins. Gathers
// the list's keys for a later ChildOrder on the way, sixteen at a time: two gathers of the 32 bits
// at each cell's gain (the gain and the next cell's, which the margin keeps in the array), whose
// low halves are the keys. Past the list's end the gathers read nothing and repeat its first key,
// which changes neither the lowest nor the highest.
inline int FirstChild(const CandidateList& candidates, const CellScores& gains, ListKeys& keys) {
    const int count = candidates.Count;
    if (count == 0) return 0;
    const int* base = reinterpret_cast<const int*>(gains.Values + GainMargin);
    const __m256i first = _mm256_set1_epi32(gains[candidates.Cells[0]]);
    __m256i lowest = _mm256_set1_epi16(gains[candidates.Cells[0]]), highest = lowest;
    auto gather = [&](__m128i cells, int from) {
        const __m256i index = _mm256_cvtepi16_epi32(cells);
        const __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(count - from),
                                                _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        const __m256i words = _mm256_mask_i32gather_epi32(first, base, index, live, 2);
        return _mm256_srai_epi32(_mm256_slli_epi32(words, 16), 16);
    };
    for (int i = 0; i < count; i += 16) {
        const __m256i cells =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(candidates.Cells + i));
        const __m256i packed =
            _mm256_packs_epi32(gather(_mm256_castsi256_si128(cells), i),
                               gather(_mm256_extracti128_si256(cells, 1), i + 8));
        const __m256i block = _mm256_permute4x64_epi64(packed, 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(keys.Keys + i), block);
        lowest = _mm256_min_epi16(lowest, block);
        highest = _mm256_max_epi16(highest, block);
    }
    auto reduce = [](__m256i v, auto op) {
        __m128i x = op(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        x = op(x, _mm_shuffle_epi32(x, 0x4E));
        x = op(x, _mm_shuffle_epi32(x, 0xB1));
        x = op(x, _mm_shufflelo_epi16(x, 0xB1));
        return static_cast<Score>(_mm_extract_epi16(x, 0));
    };
    keys.Lowest = reduce(lowest, [](__m128i a, __m128i b) { return _mm_min_epi16(a, b); });
    keys.Highest = reduce(highest, [](__m128i a, __m128i b) { return _mm_max_epi16(a, b); });
    const __m256i top = _mm256_set1_epi16(static_cast<Score>(keys.Highest));
    for (int i = 0;; i += 16) {
        const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys.Keys + i));
        const unsigned equal =
            static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(block, top)));
        if (equal != 0) return i + __builtin_ctz(equal) / 2;
    }
}
#else
// The position of the candidate with the highest gain; the earliest of equal gains wins. Gathers
// the list's keys for a later ChildOrder on the way.
inline int FirstChild(const CandidateList& candidates, const CellScores& gains, ListKeys& keys) {
    const int count = candidates.Count;
    if (count == 0) return 0;
    Score lowest = gains[candidates.Cells[0]], highest = lowest;
    for (int i = 0; i < count; ++i) {
        const Score key = gains[candidates.Cells[i]];
        keys.Keys[i] = key;
        lowest = std::min(lowest, key);
        highest = std::max(highest, key);
    }
    keys.Lowest = lowest;
    keys.Highest = highest;
    int first = 0;
    while (keys.Keys[first] != highest) ++first;
    return first;
}
#endif

// Once the first child is searched: it moves to the front, and the rest are sorted by gain.
inline void ChildOrder(CandidateList& candidates, int first, ListKeys& keys) {
    std::swap(candidates.Cells[0], candidates.Cells[first]);
    std::swap(keys.Keys[0], keys.Keys[first]);
    StableSortByKeys(candidates.Cells + 1, keys.Keys + 1, candidates.Count - 1, keys.Lowest,
                     keys.Highest);
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

}  // namespace TARN_PATH_NAMESPACE
}  // namespace tarn
