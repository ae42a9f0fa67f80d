// Reading the numbers of a line, checked against a deliberately plain reader of the same rules.
#include "protocol/line_stream.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tarn {
namespace {

// The rules written out character by character: blanks/tabs/CR/LF/VT/FF before a number, an
// optional sign and decimal digits in the 32-bit range, then around each comma anything that
// is white space, below '!' or a byte of 128 or more (before the comma only; after it only
// white space), and nothing at all after the last number. Returns the numbers, or nullopt when
// the line does not read cleanly.
std::optional<std::vector<long long>> PlainRead(const std::string& line, int count) {
    auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t i = 0;
    std::vector<long long> numbers;
    for (int n = 0; n < count; ++n) {
        if (n > 0) {
            while (i < line.size() &&
                   (is_space(line[i]) || static_cast<signed char>(line[i]) < '!'))
                ++i;
            if (i == line.size() || line[i] != ',') return std::nullopt;
            ++i;
        }
        while (i < line.size() && is_space(line[i])) ++i;
        bool negative = false;
        if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
        if (i == line.size() || line[i] < '0' || line[i] > '9') return std::nullopt;
        long long value = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
            value = value * 10 + (line[i++] - '0');
            if (value > 4'000'000'000LL) return std::nullopt;
        }
        value = negative ? -value : value;
        if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
        numbers.push_back(value);
    }
    if (i != line.size()) return std::nullopt;
    return numbers;
}

std::optional<std::vector<long long>> StreamRead(const std::string& line, int count) {
    std::istringstream args = MakeLineStream(line);
    std::vector<int32_t> numbers(count);
    ReadNumberList(args, numbers.data(), count);
    if (!CleanlyAtLineEnd(args)) return std::nullopt;
    return std::vector<long long>(numbers.begin(), numbers.end());
}

TEST(LineStreamTest, KnownLines) {
    using V = std::vector<long long>;
    EXPECT_EQ(StreamRead("3,4", 2), (V{3, 4}));
    EXPECT_EQ(StreamRead("  3 ,\t4", 2), (V{3, 4}));
    EXPECT_EQ(StreamRead("-2147483648,2147483647", 2), (V{-2147483648LL, 2147483647}));
    EXPECT_EQ(StreamRead("2147483648,0", 2), std::nullopt);
    EXPECT_EQ(StreamRead("3,4 ", 2), std::nullopt);
    EXPECT_EQ(StreamRead("3,4,", 2), std::nullopt);
    EXPECT_EQ(StreamRead("3\x80,4", 2), (V{3, 4}));
    EXPECT_EQ(StreamRead(std::string("3\0,4", 4), 2), (V{3, 4}));
    EXPECT_EQ(StreamRead("3,\x01"
                         "4",
                         2),
              std::nullopt);
    EXPECT_EQ(StreamRead("3 4", 2), std::nullopt);
    EXPECT_EQ(StreamRead("+", 1), std::nullopt);
    EXPECT_EQ(StreamRead("", 1), std::nullopt);
}

TEST(LineStreamTest, AgreesWithAPlainReaderOnRandomLines) {
    const std::vector<std::string> pieces = {
        "0",  "1",    "7",          "19",         "20",          "-",
        "+",  ",",    ",",          ",",          " ",           "\t",
        "\r", "\x01", "\x7f",       "\x80",       "\xff",        std::string(1, '\0'),
        "a",  ";",    "2147483647", "2147483648", "99999999999", "-2147483648",
        "00"};
    std::mt19937 random(20261208);
    int clean = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        std::string line;
        const int length = 1 + static_cast<int>(random() % 8);
        for (int k = 0; k < length; ++k) line += pieces[random() % pieces.size()];
        const int count = 1 + static_cast<int>(random() % 3);
        const auto expected = PlainRead(line, count);
        clean += expected.has_value();
        ASSERT_EQ(StreamRead(line, count), expected) << "line \"" << line << "\", " << count;
    }
    EXPECT_GT(clean, 200);  // the comparison covers accepted lines, not only rejections
}

TEST(LineStreamTest, SettingNumbers) {
    auto read = [](const std::string& line, int32_t start) {
        std::istringstream args = MakeLineStream(line);
        int32_t value = start;
        const bool found = ReadSettingNumber(args, value);
        return std::make_pair(found, value);
    };
    EXPECT_EQ(read("", 5), std::make_pair(false, 5));
    EXPECT_EQ(read(" \t ", 5), std::make_pair(false, 5));
    EXPECT_EQ(read(" 12x", 5), std::make_pair(true, 12));
    EXPECT_EQ(read("x12", 5), std::make_pair(true, 0));
    EXPECT_EQ(read("-3000000000", 5), std::make_pair(true, -2147483647 - 1));
}

TEST(LineStreamTest, CommandLinesDropOnlyTheCarriageReturnBeforeTheLineFeed) {
    std::istringstream in("a\r\nb\r\r\nc\rd\n\r\ne\r");
    std::vector<std::string> lines;
    std::string line;
    while (ReadCommandLine(in, line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b\r", "c\rd", "", "e\r"}));
}

TEST(LineStreamTest, CaseChangesTouchOnlyAsciiLetters) {
    std::string text = "aZ_9\x80\xe9{`@[";
    ToUpperAscii(text);
    EXPECT_EQ(text, "AZ_9\x80\xe9{`@[");
    ToLowerAscii(text);
    EXPECT_EQ(text, "az_9\x80\xe9{`@[");
}

}  // namespace
}  // namespace tarn
