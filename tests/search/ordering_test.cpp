#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "search/ordering.h"

namespace tarn::testing {
namespace {

TEST(SearchWidthTest, StepsAtTheBoundaries) {
    const std::pair<int, int> expected[] = {{104, 3},   {103, 4},   {8, 15},      {7, 16},
                                            {0, 16},    {-1, 17},   {-8, 17},     {-9, 18},
                                            {-104, 29}, {-105, 30}, {-28999, 30}, {30000, 3}};
    for (auto [best, width] : expected)
        EXPECT_EQ(width, SearchWidth(static_cast<Score>(best), 57)) << "best " << best;
    EXPECT_EQ(57, SearchWidth(-29000, 57));
    EXPECT_EQ(1, SearchWidth(-31000, 1));
}

CandidateList ListOf(std::initializer_list<int> cells) {
    CandidateList list{};
    for (int c : cells) list.Cells[list.Count++] = static_cast<CellIndex>(c);
    return list;
}

int FirstOf(const CandidateList& list, const CellScores& gains) {
    ListKeys keys;
    return FirstChild(list, gains, keys);
}

TEST(FirstChildTest, HighestGainAndEarliestOnTies) {
    CellScores gains{};
    gains[5] = 7, gains[9] = 12, gains[3] = 12, gains[4] = -2;
    EXPECT_EQ(1, FirstOf(ListOf({5, 9, 3, 4}), gains));
    EXPECT_EQ(0, FirstOf(ListOf({4}), gains));
    EXPECT_EQ(0, FirstOf(ListOf({5, 4}), gains));
}

// Orders the list as a node does: first child in front, the rest by gain.
std::vector<int> Ordered(const CandidateList& original, const CellScores& gains) {
    CandidateList list = original;
    ListKeys keys;
    const int first = FirstChild(list, gains, keys);
    ChildOrder(list, first, keys);
    return std::vector<int>(list.Cells, list.Cells + list.Count);
}

TEST(ChildOrderTest, FirstStaysInFrontAndEqualGainsKeepTheirOrder) {
    CellScores gains{};
    const int cells[] = {10, 11, 12, 13, 14, 15, 16, 17};
    const int values[] = {5, 9, 5, 30, 9, 5, -1, 9};
    for (int i = 0; i < 8; ++i) gains[cells[i]] = static_cast<Score>(values[i]);
    // 13 first; the swap put 10 at position 3, so among the gains of 5 it now follows 12 and 15.
    EXPECT_EQ((std::vector<int>{13, 11, 14, 17, 12, 10, 15, 16}),
              Ordered(ListOf({10, 11, 12, 13, 14, 15, 16, 17}), gains));
}

// Against a plain stable sort, for narrow ranges of gains (the counting sort) and wide ones
// (gains that complete fives, and wrapped negative ones).
TEST(ChildOrderTest, MatchesAStableSortForNarrowAndWideRanges) {
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        CellScores gains{};
        const bool wide = round % 2 == 1;
        for (int c = 0; c < CellCount; ++c) {
            const int value = static_cast<int>(random() % 60);
            gains[c] = static_cast<Score>(wide && random() % 8 == 0 ? value * 1000 - 31000 : value);
        }
        std::vector<int> cells(CellCount);
        std::iota(cells.begin(), cells.end(), 0);
        std::shuffle(cells.begin(), cells.end(), random);
        cells.resize(1 + random() % 120);
        CandidateList list{};
        for (int c : cells) list.Cells[list.Count++] = static_cast<CellIndex>(c);

        const int first =
            static_cast<int>(std::max_element(cells.begin(), cells.end(),
                                              [&](int a, int b) { return gains[a] < gains[b]; }) -
                             cells.begin());
        std::swap(cells[0], cells[first]);
        std::stable_sort(cells.begin() + 1, cells.end(),
                         [&](int a, int b) { return gains[a] > gains[b]; });
        ASSERT_EQ(cells, Ordered(list, gains)) << "round " << round;
    }
}

}  // namespace
}  // namespace tarn::testing
