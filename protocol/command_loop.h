// The brain's top level: reads command lines from `in` and answers on `out` until END or the
// end of the input.
#pragma once

#include <istream>
#include <ostream>

#include "protocol/session.h"

namespace tarn {

// Runs the commands of `in` on the session. Returns true when END ended them, false at the end
// of the input. A caller that feeds the brain piece by piece (the browser page) keeps the
// session between calls.
bool RunCommands(Session& session, std::istream& in, std::ostream& out);

// The whole life of the brain process: a fresh session, every command up to END or the end of
// the input. Returns the process's exit status.
int RunCommandLoop(std::istream& in, std::ostream& out);

}  // namespace tarn
