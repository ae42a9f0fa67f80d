#include "protocol/command_loop.h"

#include <map>
#include <sstream>
#include <string>

#include "protocol/game_commands.h"
#include "protocol/handler.h"
#include "protocol/info_commands.h"
#include "protocol/line_stream.h"
#include "protocol/output_lines.h"

namespace tarn {

namespace {

// The commands the engine understands, by upper-cased command word.
const std::map<std::string, CommandHandler>& CommandTable() {
    static const std::map<std::string, CommandHandler> table = {
        {"START", StartCommand}, {"TURN", TurnCommand},   {"BEGIN", BeginCommand},
        {"ABOUT", AboutCommand}, {"BOARD", BoardCommand}, {"END", EndCommand},
        {"INFO", InfoCommand},   {"DEBUG", DebugCommand},
    };
    return table;
}

// Handles one command line to the end, including the engine's turn it may start.
AfterCommand HandleLine(const std::string& line, std::istream& in, std::ostream& out) {
    std::istringstream args = MakeLineStream(line);
    std::string word;
    if (!(args >> word)) {
        ErrorLine(out, "Command parsing error");
        return AfterCommand::Continue;
    }
    ToUpperAscii(word);
    const auto entry = CommandTable().find(word);
    if (entry == CommandTable().end()) {
        UnknownCommandLine(out, word);
        return AfterCommand::Continue;
    }
    return entry->second(args, in, out);
}

}  // namespace

// END is the orderly way out; the end of the input ends the loop too, silently, since no
// command can arrive any more.
int RunCommandLoop(std::istream& in, std::ostream& out) {
    std::string line;
    while (ReadCommandLine(in, line)) {
        if (HandleLine(line, in, out) == AfterCommand::EndProcess) return 0;
    }
    return 0;
}

}  // namespace tarn
