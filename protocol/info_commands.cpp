#include "protocol/info_commands.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

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

// The ABOUT pairs in the order the line lists them, sorted by key.
constexpr std::pair<std::string_view, std::string_view> AboutPairs[] = {
    {"author", "Zelvin Ardo"}, {"build-date", ReleaseDate},
    {"country", "Unknown"},    {"email", "zelvin.ardo@example.org"},
    {"name", "Tarn"},          {"version", "7.5"},
};
static_assert(std::is_sorted(std::begin(AboutPairs), std::end(AboutPairs)));

// A setting read as a 64-bit number: a count that may go beyond 32 bits.
using WideSetting = int64_t Settings::*;
struct WideNumber {
    WideSetting Field;
};

// Where an INFO key stores its value: a plain number, a time in milliseconds (read as a 32-bit
// number, kept in 64 bits), a 64-bit number or a word.
using SettingField =
    std::variant<int32_t Settings::*, int64_t Settings::*, WideNumber, std::string Settings::*>;

// INFO keys, matched exactly as written, and the setting each one writes.
const std::map<std::string, SettingField>& InfoKeys() {
    static const std::map<std::string, SettingField> table = {
        {"max_memory", &Settings::max_memory},
        {"game_type", &Settings::game_type},
        {"rule", &Settings::rule},
        {"timeout_turn", &Settings::timeout_turn},
        {"time_left", &Settings::time_left},
        {"timeout_match", &Settings::timeout_match},
        {"folder", &Settings::folder},
        {"thread_num", &Settings::thread_num},
        {"max_depth", &Settings::max_depth},
        {"max_node", WideNumber{&Settings::max_node}},
    };
    return table;
}

// Reads the value of one INFO key into its setting.
void StoreSetting(std::istream& args, Settings& settings, const SettingField& field) {
    if (const auto number = std::get_if<int32_t Settings::*>(&field)) {
        ReadSettingNumber(args, settings.**number);
    } else if (const auto time = std::get_if<int64_t Settings::*>(&field)) {
        int32_t milliseconds = 0;
        if (ReadSettingNumber(args, milliseconds)) settings.** time = milliseconds;
    } else if (const auto wide = std::get_if<WideNumber>(&field)) {
        ReadSettingNumber(args, settings.*wide->Field);
    } else if (std::string word; args >> word) {
        settings.*std::get<std::string Settings::*>(field) = word;
    }
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

void PrintLastMoves(const GameState& game, std::ostream& out) {
    std::string text;
    for (CellIndex cell : game.MoveHistory) text.append("[").append(MoveText(cell)).append("] ");
    DebugLine(out, text);
}

}  // namespace

AfterCommand AboutCommand(Session&, std::istream& args, std::istream&, std::ostream& out) {
    if (!ArgumentsEndTheLine(args, out)) return AfterCommand::Continue;
    std::string text;
    for (const auto& [key, value] : AboutPairs) {
        if (!text.empty()) text += ", ";
        text.append(key).append("=\"").append(value).append("\"");
    }
    WriteLine(out, text);
    return AfterCommand::Continue;
}

// Stores one setting. A bad value is never reported: INFO only ever answers a missing key.
AfterCommand InfoCommand(Session& session, std::istream& args, std::istream&, std::ostream& out) {
    std::string key;
    if (!(args >> key)) {
        ErrorLine(out, WrongCommandSyntaxMessage);
        return AfterCommand::Continue;
    }
    if (const auto entry = InfoKeys().find(key); entry != InfoKeys().end())
        StoreSetting(args, session.EngineSettings, entry->second);
    return AfterCommand::Continue;
}

// An unknown keyword is ignored silently; a known one must end the line.
AfterCommand DebugCommand(Session& session, std::istream& args, std::istream&, std::ostream& out) {
    std::string keyword;
    if (!(args >> keyword)) {
        ErrorLine(out, WrongCommandSyntaxMessage);
        return AfterCommand::Continue;
    }
    ToLowerAscii(keyword);
    if (keyword != "config" && keyword != "last_moves" && keyword != "move_number") {
        return AfterCommand::Continue;
    }
    if (!ArgumentsEndTheLine(args, out)) return AfterCommand::Continue;
    if (keyword == "config") {
        PrintConfig(out);
    } else if (keyword == "last_moves") {
        PrintLastMoves(session.Game, out);
    } else {
        DebugLine(out, std::to_string(session.Game.MoveNumber));
    }
    return AfterCommand::Continue;
}

}  // namespace tarn
