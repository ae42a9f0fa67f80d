#include "protocol/game_commands.h"

#include <cstdint>
#include <memory>
#include <string>

#include "game/game_state.h"
#include "game/types.h"
#include "protocol/line_stream.h"
#include "protocol/output_lines.h"
#include "protocol/search_report.h"
#include "protocol/text_forms.h"
#include "search/clock.h"
#include "search/root.h"

namespace tarn {

namespace {

// The cell of a pair of coordinates, or NoCell when either is off the board, so that an
// off-board pair fails the free-cell test exactly where an occupied cell does (20,0 is not
// taken as 0,1).
CellIndex CellOf(int32_t x, int32_t y) {
    if (x < 0 || x >= BoardSize || y < 0 || y >= BoardSize) return NoCell;
    return CellAt(x, y);
}

// Reads the next line of a BOARD block, upper-cased so that "done" ends it too. Returns false
// when the command stream has ended (or failed), which ends the block as well: a last line
// without a line feed is read but then treated as that end, so its stone is not placed.
bool ReadBlockLine(std::istream& in, std::string& line) {
    ReadCommandLine(in, line);
    ToUpperAscii(line);
    return in.good();
}

// The turn's limits: the manager's two time limits, measured from the moment the turn starts,
// and the depth and the nodes the manager allows, if it set them.
SearchLimits TurnLimits(const Settings& settings, int64_t turnStart) {
    SearchLimits limits;
    limits.Time = {turnStart, settings.timeout_turn, settings.time_left, true};
    limits.LastIteration = LastIterationWithin(settings.max_depth);
    limits.MaxNodes = settings.max_node > 0 ? static_cast<uint64_t>(settings.max_node) : 0;
    return limits;
}

// The helper threads the turn searches with: none for one thread, and no more threads than
// processors. The session keeps them from turn to turn, and starts them anew only when that number
// changes.
SearchThreads* TurnHelpers(Session& session) {
    const int helpers =
        SearchThreadCount(session.EngineSettings.thread_num, session.Processors) - 1;
    if (helpers == 0) {
        session.Helpers.reset();
        return nullptr;
    }
    if (!session.Helpers || session.Helpers->Asked() != helpers)
        session.Helpers = std::make_unique<SearchThreads>(helpers);
    return session.Helpers.get();
}

}  // namespace

void EngineTurn(Session& session, std::ostream& out) {
    GameState& game = session.Game;
    SearchLimits limits = TurnLimits(session.EngineSettings, ClockNanoseconds());
    limits.Threads = TurnHelpers(session);
    const CellIndex cell =
        session
            .Search(game.Board, limits,
                    [&out](const IterationReport& iteration) { WriteSearchReport(out, iteration); })
            .Move;
    if (!game.IsFreeCell(cell)) {
        ErrorLine(out, "Bad coordinates");
        return;
    }
    game.Place(cell, EngineStone);
    WriteLine(out, MoveText(cell));
}

AfterCommand StartCommand(Session& session, std::istream& args, std::istream&, std::ostream& out) {
    int32_t size = 0;
    ReadNumberList(args, &size, 1);
    if (!ArgumentsEndTheLine(args, out)) return AfterCommand::Continue;
    if (size != BoardSize) {
        ErrorLine(out, "Unsupported size of the board");
    } else {
        session.Game.Reset();
        WriteLine(out, "OK");
    }
    return AfterCommand::Continue;
}

AfterCommand TurnCommand(Session& session, std::istream& args, std::istream&, std::ostream& out) {
    int32_t xy[2] = {};
    ReadNumberList(args, xy, 2);
    if (!ArgumentsEndTheLine(args, out)) return AfterCommand::Continue;
    const CellIndex cell = CellOf(xy[0], xy[1]);
    if (!session.Game.IsFreeCell(cell)) {
        ErrorLine(out, "Bad coordinates");
        return AfterCommand::Continue;
    }
    session.Game.Place(cell, OpponentStone);
    EngineTurn(session, out);
    return AfterCommand::Continue;
}

AfterCommand BeginCommand(Session& session, std::istream& args, std::istream&, std::ostream& out) {
    if (!ArgumentsEndTheLine(args, out)) return AfterCommand::Continue;
    if (session.Game.MoveNumber >= 2) {
        ErrorLine(out, "The \"Begin\" command can be executed only in the beginning of the game");
    } else {
        EngineTurn(session, out);
    }
    return AfterCommand::Continue;
}

// Stones are added to what already stands on the board. A stone line with an error ends the
// block without an engine move; the stones before it stay, and the lines after it are left
// for the command loop.
AfterCommand BoardCommand(Session& session, std::istream& args, std::istream& in,
                          std::ostream& out) {
    if (!ArgumentsEndTheLine(args, out)) return AfterCommand::Continue;
    std::string line;
    while (ReadBlockLine(in, line) && line != "DONE") {
        std::istringstream stoneLine = MakeLineStream(line);
        int32_t stone[3] = {};
        ReadNumberList(stoneLine, stone, 3);
        if (!CleanlyAtLineEnd(stoneLine)) {
            ErrorLine(out, "Wrong syntax");
            return AfterCommand::Continue;
        }
        const CellIndex cell = CellOf(stone[0], stone[1]);
        if (!session.Game.IsFreeCell(cell)) {
            ErrorLine(out, "Bad coordinates");
            return AfterCommand::Continue;
        }
        if (stone[2] != EngineStone && stone[2] != OpponentStone) {
            ErrorLine(out, "Bad player");
            return AfterCommand::Continue;
        }
        session.Game.Place(cell, static_cast<Stone>(stone[2]));
    }
    EngineTurn(session, out);
    return AfterCommand::Continue;
}

AfterCommand EndCommand(Session&, std::istream& args, std::istream&, std::ostream& out) {
    return ArgumentsEndTheLine(args, out) ? AfterCommand::EndProcess : AfterCommand::Continue;
}

}  // namespace tarn
