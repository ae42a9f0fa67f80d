// The brain's top level: reads command lines from `in` and answers on `out` until END or the
// end of the input. Returns the process's exit status.
#pragma once

#include <istream>
#include <ostream>

namespace tarn {

int RunCommandLoop(std::istream& in, std::ostream& out);

}  // namespace tarn
