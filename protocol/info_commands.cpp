#include "protocol/info_commands.h"

#include <cstdint>
#include <map>
#include <string>

#include "game/game_state.h"
#include "game/model.h"
#include "protocol/line_stream.h"
#include "protocol/output_lines.h"
#include "protocol/text_forms.h"
#include "search/node.h"

namespace tarn {

namespace {

// The release this engine answers as; ABOUT and "DEBUG config" both print it.
inline constexpr const char* ReleaseDate = "Apr 26 2019 18:00:01";

// The build constants that "DEBUG config" prints besides the search's own (search/node.h).
inline constexpr bool Debug = false;
inline constexpr int32_t MessageLevel = 0;

// The ABOUT pairs, kept sorted by key so the line always lists them in the same order.
const std::map<std::string, std::string>& AboutTable() {
    static const std::map<std::string, std::string> table = {
        {"author", "Zelvin Ardo"}, {"build-date", ReleaseDate},
        {"country", "Unknown"},    {"email", "zelvin.ardo@example.org"},
        {"name", "Tarn"},          {"version", "7.5"},
    };
    return table;
}

// INFO keys, matched exactly as written, and the setting each one writes.
const std::map<std::string, int32_t Settings::*>& InfoIntKeys() {
    static const std::map<std::string, int32_t Settings::*> table = {
        {"max_memory", &Settings::max_memory},
        {"game_type", &Settings::game_type},
        {"rule", &Settings::rule},
    };
    return table;
}

const std::map<std::string, int64_t Settings::*>& InfoTimeKeys() {
    static const std::map<std::string, int64_t Settings::*> table = {
        {"timeout_turn", &Settings::timeout_turn},
        {"time_left", &Settings::time_left},
        {"timeout_match", &Settings::timeout_match},
    };
    return table;
}

const std::map<std::string, std::string Settings::*>& InfoTextKeys() {
    static const std::map<std::string, std::string Settings::*> table = {
        {"folder", &Settings::folder},
    };
    return table;
}

void PrintConfig(std::ostream& out) {
    DebugLine(out, std::string("ReleaseDate: ") + ReleaseDate);
    DebugLine(out, "Debug: " + std::to_string(Debug ? 1 : 0));
    DebugLine(out, "MessageLevel: " + std::to_string(MessageLevel));
    DebugLine(out, "BoardSize: " + std::to_string(BoardSize));
    DebugLine(out, "SortMovesDepth: " + std::to_string(SortMovesDepth));
    DebugLine(out, "NFirstMaxMoves: " + std::to_string(NFirstMaxMoves));
    DebugLine(out, "CheckTimeoutDepth: " + std::to_string(CheckTimeoutDepth));
    std::string evaluation = "Evaluation: [";
    for (int stones = 1; stones <= 4; ++stones) {
        if (stones > 1) evaluation += ", ";
        evaluation += ScoreText(WindowValue[stones]);
    }
    DebugLine(out, evaluation + "]");
}

void PrintLastMoves(std::ostream& out) {
    std::string text;
    for (CellIndex cell : Game.MoveHistory) text.append("[").append(MoveText(cell)).append("] ");
    DebugLine(out, text);
}

}  // namespace

AfterCommand AboutCommand(std::istream& args, std::istream&, std::ostream& out) {
    if (!AtLineEnd(args)) {
        ErrorLine(out, WrongCommandSyntaxMessage);
        return AfterCommand::Continue;
    }
    std::string text;
    for (const auto& [key, value] : AboutTable()) {
        if (!text.empty()) text += ", ";
        text += key + "=\"" + value + "\"";
    }
    WriteLine(out, text);
    return AfterCommand::Continue;
}

// Stores one setting. A bad value is never reported: INFO only ever answers a missing key.
AfterCommand InfoCommand(std::istream& args, std::istream&, std::ostream& out) {
    std::string key;
    if (!(args >> key)) {
        ErrorLine(out, WrongCommandSyntaxMessage);
        return AfterCommand::Continue;
    }
    if (const auto it = InfoIntKeys().find(key); it != InfoIntKeys().end()) {
        ReadSettingNumber(args, EngineSettings.*(it->second));
    } else if (const auto it = InfoTimeKeys().find(key); it != InfoTimeKeys().end()) {
        int32_t milliseconds = 0;
        if (ReadSettingNumber(args, milliseconds)) EngineSettings.*(it->second) = milliseconds;
    } else if (const auto it = InfoTextKeys().find(key); it != InfoTextKeys().end()) {
        std::string word;
        if (args >> word) EngineSettings.*(it->second) = word;
    }
    return AfterCommand::Continue;
}

// An unknown keyword is ignored silently; a known one must end the line.
AfterCommand DebugCommand(std::istream& args, std::istream&, std::ostream& out) {
    if (!Game.Initialized) {
        ErrorLine(out, NotInitializedMessage);
        return AfterCommand::Continue;
    }
    std::string keyword;
    if (!(args >> keyword)) {
        ErrorLine(out, WrongCommandSyntaxMessage);
        return AfterCommand::Continue;
    }
    ToLowerAscii(keyword);
    if (keyword != "config" && keyword != "last_moves" && keyword != "move_number") {
        return AfterCommand::Continue;
    }
    if (!AtLineEnd(args)) {
        ErrorLine(out, WrongCommandSyntaxMessage);
        return AfterCommand::Continue;
    }
    if (keyword == "config") {
        PrintConfig(out);
    } else if (keyword == "last_moves") {
        PrintLastMoves(out);
    } else {
        DebugLine(out, std::to_string(Game.MoveNumber));
    }
    return AfterCommand::Continue;
}

}  // namespace tarn
