// The commands that do not play: ABOUT describes the engine, INFO stores one of the manager's
// settings and DEBUG prints the build constants, the moves of the game or the move number.
#pragma once

#include <istream>
#include <ostream>

#include "protocol/handler.h"

namespace tarn {

AfterCommand AboutCommand(Session& session, std::istream& args, std::istream& in,
                          std::ostream& out);
AfterCommand InfoCommand(Session& session, std::istream& args, std::istream& in, std::ostream& out);
AfterCommand DebugCommand(Session& session, std::istream& args, std::istream& in,
                          std::ostream& out);

}  // namespace tarn
