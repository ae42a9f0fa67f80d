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

struct Command {
    CommandHandler Handler;
    bool NeedsStart;  // answered with an error until the first START
};

// The commands the engine understands, by upper-cased command word.
const std::map<std::string, Command>& CommandTable() {
    static const std::map<std::string, Command> table = {
        {"START", {StartCommand, false}}, {"TURN", {TurnCommand, true}},
        {"BEGIN", {BeginCommand, true}},  {"ABOUT", {AboutCommand, false}},
        {"BOARD", {BoardCommand, true}},  {"END", {EndCommand, false}},
        {"INFO", {InfoCommand, false}},   {"DEBUG", {DebugCommand, true}},
    };
    return table;
}

// Handles one command line to the end, including the engine's turn it may start.
AfterCommand HandleLine(Session& session, const std::string& line, std::istream& in,
                        std::ostream& out) {
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
    const Command& command = entry->second;
    if (command.NeedsStart && !session.Game.Initialized) {
        ErrorLine(out, NotInitializedMessage);
        return AfterCommand::Continue;
    }
    return command.Handler(session, args, in, out);
}

}  // namespace

// END is the orderly way out; the end of the input ends the commands too, silently, since no
// command can arrive any more.
bool RunCommands(Session& session, std::istream& in, std::ostream& out) {
    std::string line;
    while (ReadCommandLine(in, line)) {
        if (HandleLine(session, line, in, out) == AfterCommand::EndProcess) return true;
    }
    return false;
}

int RunCommandLoop(std::istream& in, std::ostream& out) {
    Session session;
    RunCommands(session, in, out);
    return 0;
}

}  // namespace tarn
