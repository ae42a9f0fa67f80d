// The commands that run a game: START, TURN, BEGIN, BOARD and END, and the engine's turn that
// TURN, BEGIN and BOARD end with.
#pragma once

#include <istream>
#include <ostream>

#include "protocol/handler.h"

namespace tarn {

AfterCommand StartCommand(std::istream& args, std::istream& in, std::ostream& out);
AfterCommand TurnCommand(std::istream& args, std::istream& in, std::ostream& out);
AfterCommand BeginCommand(std::istream& args, std::istream& in, std::ostream& out);
AfterCommand BoardCommand(std::istream& args, std::istream& in, std::ostream& out);
AfterCommand EndCommand(std::istream& args, std::istream& in, std::ostream& out);

// Searches the current position, places the engine's stone on the chosen cell and prints it
// as "x,y". Search report lines, if any, come before the move.
void EngineTurn(std::ostream& out);

}  // namespace tarn
