// Feeds arbitrary bytes to the command loop as the manager's command stream, on a fresh session
// (game and default settings) for every input. Besides the sanitizers' findings it checks that the
// game state still holds together after the input: the board holds exactly the stones of the
// history, and the move number counts them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>

#include "game/game_state.h"
#include "game/types.h"
#include "protocol/command_loop.h"
#include "protocol/session.h"

namespace {

// Each turn gets a few milliseconds, so that an input running past the fuzzer's time limit
// points at slow engine code and not at a long budget.
constexpr int64_t FuzzTurnMilliseconds = 2;

// Takes every answer the engine formats and writes, and keeps none of it.
class DiscardBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// The input without the lines that could set a time limit: a line that does not hold the key
// cannot set it, whatever else it holds.
std::string WithoutTimeSettings(std::string_view input) {
    std::string kept;
    kept.reserve(input.size());
    while (!input.empty()) {
        const size_t end = input.find('\n');
        const size_t length = end == std::string_view::npos ? input.size() : end + 1;
        const std::string_view line = input.substr(0, length);
        if (line.find("timeout_turn") == std::string_view::npos &&
            line.find("time_left") == std::string_view::npos) {
            kept.append(line);
        }
        input.remove_prefix(length);
    }
    return kept;
}

void CheckGameState(const tarn::GameState& game) {
    int stones = 0;
    for (int cell = 0; cell < tarn::CellCount; ++cell) {
        if (game.Board[cell] > 2) std::abort();
        if (game.Board[cell] != tarn::EmptyCell) ++stones;
    }
    if (stones != static_cast<int>(game.MoveHistory.size())) std::abort();
    for (const tarn::CellIndex cell : game.MoveHistory) {
        if (cell < 0 || cell >= tarn::CellCount || game.Board[cell] == tarn::EmptyCell)
            std::abort();
    }
    if (game.Initialized && game.MoveNumber != 1 + static_cast<int>(game.MoveHistory.size())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tarn::Session session;
    session.EngineSettings.timeout_turn = FuzzTurnMilliseconds;
    std::istringstream in(WithoutTimeSettings({reinterpret_cast<const char*>(data), size}));
    DiscardBuffer discard;
    std::ostream out(&discard);
    tarn::RunCommands(session, in, out);
    CheckGameState(session.Game);
    return 0;
}
