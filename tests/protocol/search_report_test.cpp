#include <gtest/gtest.h>

#include <sstream>

#include "protocol/search_report.h"

namespace tarn {
namespace {

TEST(PrefixNumberTest, ScalesIntoTheRangeAboveOneUpToAThousand) {
    EXPECT_EQ("1.23 M", PrefixNumber(1234567));
    EXPECT_EQ("450 m", PrefixNumber(0.45));
    EXPECT_EQ("12 u", PrefixNumber(0.000012));
    EXPECT_EQ("523 ", PrefixNumber(523));
    EXPECT_EQ("1000 k", PrefixNumber(999996));
    EXPECT_EQ("1000 m", PrefixNumber(1));
    EXPECT_EQ("1000 ", PrefixNumber(1000));
    EXPECT_EQ("2.74 M", PrefixNumber(1234567 / 0.45));
}

TEST(PrefixNumberTest, ValuesTheScalingCannotHandle) {
    EXPECT_EQ("0 ", PrefixNumber(0));
    EXPECT_EQ("-450 m", PrefixNumber(-0.45));
    EXPECT_EQ("inf ", PrefixNumber(1.0 / 0.0));
    EXPECT_EQ("-inf ", PrefixNumber(-1.0 / 0.0));
    EXPECT_EQ("nan ", PrefixNumber(0.0 / 0.0));
}

TEST(SearchReportTest, LineHasItsFieldsInOrder) {
    std::ostringstream out;
    WriteSearchReport(out, {8, CellAt(10, 9), 15, 1234567, 0.45});
    WriteSearchReport(out, {10, CellAt(0, 19), 29997, 523, 1000});
    WriteSearchReport(out, {12, CellAt(19, 0), -29998, 1000, 1});
    EXPECT_EQ(
        "MESSAGE 8; 10,9; 15; 1.23 M; 450 m; 2.74 M\n"
        "MESSAGE 10; 0,19; W3; 523 ; 1000 ; 523 m\n"
        "MESSAGE 12; 19,0; L2; 1000 ; 1000 m; 1000 \n",
        out.str());
}

}  // namespace
}  // namespace tarn
