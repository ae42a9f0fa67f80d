// The commands that run a game: START, TURN, BEGIN, BOARD and END, and the engine's turn that
// TURN, BEGIN and BOARD end with.
#pragma once

#include <istream>
#include <ostream>

#include "protocol/handler.h"

namespace tarn {

AfterCommand StartCommand(Session& session, std::istream& args, std::istream& in,
                          std::ostream& out);
AfterCommand TurnCommand(Session& session, std::istream& args, std::istream& in, std::ostream& out);
AfterCommand BeginCommand(Session& session, std::istream& args, std::istream& in,
                          std::ostream& out);
AfterCommand BoardCommand(Session& session, std::istream& args, std::istream& in,
                          std::ostream& out);
AfterCommand EndCommand(Session& session, std::istream& args, std::istream& in, std::ostream& out);

// Searches the current position under the manager's time limits from this moment, places the
// engine's stone on the chosen cell and prints it as "x,y". Search report lines, if any, come
// before the move.
void EngineTurn(Session& session, std::ostream& out);

}  // namespace tarn
