// Drives the command loop in-process: feeds it a whole input text and collects its answer lines,
// on a fresh session with default settings for every test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "game/types.h"
#include "protocol/command_loop.h"
#include "protocol/session.h"

namespace tarn::testing {

struct Transcript {
    std::vector<std::string> Lines;  // answer lines without their line feeds, reports left out
    std::string Raw;                 // everything written, reports included
    bool Ended = false;              // END ended the commands (not the end of the input)
};

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        session = Session{};
        // Keeps each engine turn short; nothing here depends on how well the engine plays.
        session.EngineSettings.timeout_turn = 200;
    }

    // Runs the commands of `input` on the session until END or the end of the input.
    Transcript Run(const std::string& input) {
        std::istringstream in(input);
        std::ostringstream out;
        Transcript transcript;
        transcript.Ended = RunCommands(session, in, out);
        transcript.Raw = out.str();
        std::istringstream lines(transcript.Raw);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("MESSAGE ", 0) != 0) transcript.Lines.push_back(line);
        }
        return transcript;
    }

    // The engine answered `line` with a move that went on the board as its own stone and entry
    // `index` of the history (the last entry when index is negative), on a cell that was free.
    ::testing::AssertionResult IsEngineMove(const std::string& line, int index = -1) const;

    Session session;
    const GameState& Game = session.Game;
    Settings& EngineSettings = session.EngineSettings;
};

// The cell of a move line "x,y" with both coordinates in 0 to 19 and nothing else on the line;
// nullopt for any other line.
inline std::optional<CellIndex> ParseMove(const std::string& line) {
    int x = -1, y = -1;
    char comma = 0;
    std::istringstream in(line);
    if (!(in >> x >> comma >> y) || comma != ',' || !in.eof()) return std::nullopt;
    if (x < 0 || x >= BoardSize || y < 0 || y >= BoardSize) return std::nullopt;
    if (line != std::to_string(x) + "," + std::to_string(y)) return std::nullopt;
    return CellAt(x, y);
}

inline ::testing::AssertionResult ProtocolTest::IsEngineMove(const std::string& line,
                                                             int index) const {
    const auto cell = ParseMove(line);
    if (!cell) return ::testing::AssertionFailure() << "not a move line: \"" << line << "\"";
    const auto& history = Game.MoveHistory;
    const int at = index < 0 ? static_cast<int>(history.size()) - 1 : index;
    if (at < 0 || at >= static_cast<int>(history.size()) || history[at] != *cell) {
        return ::testing::AssertionFailure() << line << " is not history entry " << at;
    }
    if (Game.Board[*cell] != EngineStone) {
        return ::testing::AssertionFailure() << line << " does not hold the engine's stone";
    }
    if (std::count(history.begin(), history.end(), *cell) != 1) {
        return ::testing::AssertionFailure() << line << " was played on an occupied cell";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tarn::testing
