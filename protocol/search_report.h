// The search report: one "MESSAGE" line after every completed iteration, telling the manager
// the depth reached, the best move, its score, the nodes searched, the time and the speed.
#pragma once

#include <ostream>
#include <string>

#include "search/root.h"

namespace tarn {

// A number scaled by a metric prefix into the range above 1 and at most 1000, with two decimals
// at most, then a blank and the prefix letter: 1234567 gives "1.23 M", 0.45 gives "450 m", 523
// gives "523 ". Zero gives "0 ", a negative value "-" and the form of its magnitude, and values
// that are not finite "inf " or "nan ".
std::string PrefixNumber(double value);

// Writes and flushes the report line of one iteration.
void WriteSearchReport(std::ostream& out, const IterationReport& iteration);

}  // namespace tarn
