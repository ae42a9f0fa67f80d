#include "protocol/search_report.h"

#include <cmath>
#include <cstdio>

#include "protocol/text_forms.h"

namespace tarn {

namespace {

constexpr char PrefixLetters[] = "afpnum kMGTPE";
constexpr int NoPrefix = 6;
constexpr int LastPrefix = sizeof PrefixLetters - 2;

}  // namespace

std::string PrefixNumber(double value) {
    char text[48];
    int length = 0;
    if (value < 0) {
        text[length++] = '-';
        value = -value;
    }
    if (std::isnan(value) || std::isinf(value) || value == 0) {
        length += std::snprintf(text + length, sizeof text - length, "%s ",
                                std::isnan(value)   ? "nan"
                                : std::isinf(value) ? "inf"
                                                    : "0");
        return std::string(text, length);
    }

    int prefix = NoPrefix;
    while (value >= 1000 && prefix < LastPrefix) {
        value *= 0.001;
        ++prefix;
    }
    while (!(value > 1) && prefix > 0) {
        value *= 1000;
        --prefix;
    }
    value = std::round(value * 100) * 0.01;

    length += std::snprintf(text + length, sizeof text - length - 1, "%g ", value);
    if (prefix != NoPrefix) text[length++] = PrefixLetters[prefix];
    return std::string(text, length);
}

void WriteSearchReport(std::ostream& out, const IterationReport& iteration) {
    const double nodes = static_cast<double>(iteration.Nodes);
    out << "MESSAGE " << iteration.Depth << "; " << MoveText(iteration.BestMove) << "; "
        << ScoreText(iteration.BestScore) << "; " << PrefixNumber(nodes) << "; "
        << PrefixNumber(iteration.Seconds) << "; " << PrefixNumber(nodes / iteration.Seconds)
        << '\n'
        << std::flush;
}

}  // namespace tarn
