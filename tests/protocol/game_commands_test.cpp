// START, TURN, BEGIN, BOARD and END, and the engine's turn they lead to.
#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

#include "protocol/text_forms.h"
#include "search/clock.h"
#include "search/threads.h"
#include "tests/protocol/transcript.h"
#include "tests/support/boards.h"

namespace tarn::testing {
namespace {

using Lines = std::vector<std::string>;
using GameCommandsTest = ProtocolTest;

constexpr const char* NotInitialized =
    "ERROR This command can be performed only after the initialization";
constexpr const char* BeginTooLate =
    "ERROR The \"Begin\" command can be executed only in the beginning of the game";

TEST_F(GameCommandsTest, StartAcceptsOnlyTwentyWrittenCleanly) {
    EXPECT_EQ(Run("START 15\nSTART -20\nSTART 4294967316\n").Lines,
              (Lines{"ERROR Unsupported size of the board", "ERROR Unsupported size of the board",
                     "ERROR Wrong command syntax"}));
    EXPECT_EQ(Run("START\nSTART abc\nSTART 20 \nSTART 20,\nSTART 20 20\n").Lines,
              Lines(5, "ERROR Wrong command syntax"));
    EXPECT_FALSE(Game.Initialized);
    EXPECT_EQ(Run("START 20\nSTART +20\nSTART 020\n").Lines, (Lines{"OK", "OK", "OK"}));
    EXPECT_TRUE(Game.Initialized);
}

TEST_F(GameCommandsTest, StartInMidGameBeginsAnEmptyGame) {
    const Transcript t = Run("START 20\nTURN 9,9\nSTART 20\nDEBUG last_moves\nDEBUG move_number\n");
    ASSERT_EQ(t.Lines.size(), 5u);
    EXPECT_EQ(t.Lines[2], "OK");
    EXPECT_EQ(t.Lines[3], "DEBUG ");
    EXPECT_EQ(t.Lines[4], "DEBUG 1");
    EXPECT_EQ(std::count(std::begin(Game.Board), std::end(Game.Board), EmptyCell), CellCount);
}

TEST_F(GameCommandsTest, GameCommandsRefuseToWorkBeforeStart) {
    const Transcript t = Run("TURN 10,10\nBEGIN\nBEGIN x\nBOARD\n10,10,1\nDONE\nDEBUG config\n");
    EXPECT_EQ(t.Lines,
              (Lines{NotInitialized, NotInitialized, NotInitialized, NotInitialized,
                     "UNKNOWN command (10,10,1)", "UNKNOWN command (DONE)", NotInitialized}));
    EXPECT_EQ(Game.MoveNumber, 0);
}

TEST_F(GameCommandsTest, TurnPlacesTheOpponentStoneAndTheEngineAnswers) {
    const Transcript t = Run("START 20\nTURN 3 , 4\nDEBUG move_number\n");
    ASSERT_EQ(t.Lines.size(), 3u);
    ASSERT_EQ(Game.MoveHistory.size(), 2u);
    EXPECT_EQ(Game.MoveHistory[0], 83);
    EXPECT_EQ(Game.Board[83], OpponentStone);
    EXPECT_TRUE(IsEngineMove(t.Lines[1], 1));
    EXPECT_EQ(t.Lines[2], "DEBUG 3");
}

TEST_F(GameCommandsTest, TurnSyntaxIsStrict) {
    const Transcript t =
        Run("START 20\nTURN 3,4 \nTURN 3\nTURN 3;4\nTURN 3,4,5\nTURN\nTURN ,4\nTURN 3,,4\n");
    EXPECT_EQ(t.Lines.size(), 8u);
    for (std::size_t i = 1; i < t.Lines.size(); ++i) {
        EXPECT_EQ(t.Lines[i], "ERROR Wrong command syntax") << "line " << i;
    }
    EXPECT_TRUE(Game.MoveHistory.empty());
}

TEST_F(GameCommandsTest, TurnAcceptsSignsControlBytesAndHighBytesAroundTheComma) {
    const Transcript t = Run("START 20\nTURN +3\x01\x80\xff\t,\t-0\n");
    ASSERT_EQ(t.Lines.size(), 2u);
    EXPECT_EQ(Game.MoveHistory.at(0), CellAt(3, 0));
    EXPECT_TRUE(IsEngineMove(t.Lines[1]));
}

TEST_F(GameCommandsTest, TurnOnOccupiedOrOffBoardCellsIsRefused) {
    const Transcript t =
        Run("START 20\nTURN 5,5\nTURN 5,5\nTURN -1,0\nTURN 20,0\nTURN 0,20\nTURN 256,0\n"
            "TURN 0,-1\nTURN 19,19\n");
    ASSERT_EQ(t.Lines.size(), 9u);
    EXPECT_TRUE(IsEngineMove(t.Lines[1], 1));
    for (std::size_t i = 2; i <= 7; ++i) EXPECT_EQ(t.Lines[i], "ERROR Bad coordinates") << i;
    // 20,0 must not wrap around to 0,1, nor 256,0 to 0,0.
    EXPECT_NE(Game.Board[CellAt(0, 1)], OpponentStone);
    EXPECT_NE(Game.Board[CellAt(0, 0)], OpponentStone);
    EXPECT_EQ(Game.MoveHistory.at(2), 399);
    EXPECT_TRUE(IsEngineMove(t.Lines[8], 3));
    EXPECT_EQ(Game.MoveHistory.size(), 4u);
}

TEST_F(GameCommandsTest, TwoTurnsInARowEachGetAMove) {
    const Transcript t = Run("START 20\nTURN 0,0\nTURN 19,0\n");
    ASSERT_EQ(t.Lines.size(), 3u);
    EXPECT_TRUE(IsEngineMove(t.Lines[1], 1));
    EXPECT_TRUE(IsEngineMove(t.Lines[2], 3));
    EXPECT_EQ(Game.MoveNumber, 5);
}

TEST_F(GameCommandsTest, BeginOnAnEmptyBoardPlaysTheCentre) {
    const Transcript t = Run("START 20\nBEGIN\nDEBUG move_number\n");
    EXPECT_EQ(t.Raw, "OK\n10,10\nDEBUG 2\n");
    EXPECT_EQ(Game.Board[210], EngineStone);
}

TEST_F(GameCommandsTest, BeginOnlyAtTheStartAndAlone) {
    EXPECT_EQ(Run("START 20\nBEGIN x\nBEGIN \n").Lines,
              (Lines{"OK", "ERROR Wrong command syntax", "ERROR Wrong command syntax"}));
    EXPECT_EQ(Run("START 20\nTURN 9,9\nBEGIN\n").Lines.back(), BeginTooLate);
    // Even when the block placed only the engine's own stones.
    const Transcript t = Run("START 20\nBOARD\n9,9,1\nDONE\nBEGIN\n");
    EXPECT_EQ(t.Lines.back(), BeginTooLate);
    EXPECT_EQ(Game.MoveNumber, 3);
}

TEST_F(GameCommandsTest, BoardPlacesTheBlockInOrderThenTheEngineMoves) {
    const Transcript t = Run("START 20\nBOARD\n10,10,1\n 11 , 11 , 2\ndone\nDEBUG move_number\n");
    ASSERT_EQ(t.Lines.size(), 3u);
    ASSERT_EQ(Game.MoveHistory.size(), 3u);
    EXPECT_EQ(Game.MoveHistory[0], 210);
    EXPECT_EQ(Game.MoveHistory[1], 231);
    EXPECT_EQ(Game.Board[210], EngineStone);
    EXPECT_EQ(Game.Board[231], OpponentStone);
    EXPECT_TRUE(IsEngineMove(t.Lines[1], 2));
    EXPECT_EQ(t.Lines[2], "DEBUG 4");
}

TEST_F(GameCommandsTest, BoardAddsToTheStonesAlreadyDown) {
    const Transcript t = Run("START 20\nTURN 0,0\nBOARD\n5,5,2\nDONE\n");
    ASSERT_EQ(t.Lines.size(), 3u);
    EXPECT_EQ(Game.Board[0], OpponentStone);
    EXPECT_EQ(Game.MoveHistory.size(), 4u);
    EXPECT_TRUE(IsEngineMove(t.Lines[2], 3));
}

TEST_F(GameCommandsTest, EmptyBoardBlockPlaysTheCentre) {
    EXPECT_EQ(Run("START 20\nBOARD\nDONE\n").Raw, "OK\n10,10\n");
}

TEST_F(GameCommandsTest, BoardErrorsEndTheBlockWithoutAMove) {
    struct Case {
        const char* StoneLine;
        const char* error;
    };
    const Case cases[] = {
        {"10,10,3", "ERROR Bad player"},     {"10,10,0", "ERROR Bad player"},
        {"10,10", "ERROR Wrong syntax"},     {"10,10,1 ", "ERROR Wrong syntax"},
        {"", "ERROR Wrong syntax"},          {" DONE", "ERROR Wrong syntax"},
        {"0,0,1", "ERROR Bad coordinates"},  {"20,0,1", "ERROR Bad coordinates"},
        {"0,20,2", "ERROR Bad coordinates"}, {"-1,0,1", "ERROR Bad coordinates"},
        {"0,0,3", "ERROR Bad coordinates"},  // the cell is checked before the player
        {"20,0,3", "ERROR Bad coordinates"},
    };
    for (const Case& c : cases) {
        SetUp();
        const Transcript t =
            Run(std::string("START 20\nBOARD\n0,0,1\n") + c.StoneLine + "\n5,5,2\nDONE\n");
        EXPECT_EQ(t.Lines,
                  (Lines{"OK", c.error, "UNKNOWN command (5,5,2)", "UNKNOWN command (DONE)"}))
            << "stone line \"" << c.StoneLine << "\"";
        // The stone before the bad line stays; nothing else was placed.
        EXPECT_EQ(Game.MoveHistory, std::vector<CellIndex>{0}) << c.StoneLine;
    }
}

TEST_F(GameCommandsTest, BoardSyntaxOfItsOwnLine) {
    const Transcript t = Run("START 20\nBOARD x\n1,1,1\nDONE\n");
    EXPECT_EQ(t.Lines, (Lines{"OK", "ERROR Wrong command syntax", "UNKNOWN command (1,1,1)",
                              "UNKNOWN command (DONE)"}));
}

TEST_F(GameCommandsTest, BoardLinesMayEndInCarriageReturnLineFeed) {
    const Transcript t = Run("START 20\r\nBOARD\r\n10,10,1\r\n11,11,2\r\nDONE\r\n");
    ASSERT_EQ(t.Lines.size(), 2u);
    EXPECT_EQ(Game.MoveHistory.size(), 3u);
    EXPECT_TRUE(IsEngineMove(t.Lines[1]));
}

TEST_F(GameCommandsTest, EndOfInputEndsABoardBlockAndTheEngineMoves) {
    Transcript t = Run("START 20\nBOARD\n10,10,1\n11,11,2\n");
    ASSERT_EQ(t.Lines.size(), 2u);
    EXPECT_EQ(Game.MoveHistory.size(), 3u);
    EXPECT_TRUE(IsEngineMove(t.Lines[1]));
    EXPECT_FALSE(t.Ended);

    // A last stone line without a line feed meets the end of input: it is not placed.
    SetUp();
    t = Run("START 20\nBOARD\n10,10,1");
    EXPECT_EQ(t.Raw, "OK\n10,10\n");
    EXPECT_EQ(Game.MoveHistory, std::vector<CellIndex>{210});

    SetUp();
    t = Run("START 20\nBOARD");
    EXPECT_EQ(t.Raw, "OK\n10,10\n");
}

TEST_F(GameCommandsTest, EndWithArgumentsIsASyntaxErrorAndTheLoopGoesOn) {
    const Transcript t = Run("END now\nEND \nSTART 20\nEND\nSTART 15\n");
    EXPECT_EQ(t.Lines, (Lines{"ERROR Wrong command syntax", "ERROR Wrong command syntax", "OK"}));
    EXPECT_TRUE(t.Ended);
}

// What a turn hands the search: its own copy of the board as it stands after the opponent's
// stone, the manager's limits measured from the turn's start, every iteration allowed; and every
// iteration the search reports is printed before the move.
TEST_F(GameCommandsTest, EngineTurnHandsTheSearchTheBoardAndTheTurnsTime) {
    std::vector<TestBoard> boards;
    std::vector<SearchLimits> limits;
    session.Search = [&](std::span<const Stone, CellCount> board, const SearchLimits& given,
                         const IterationCallback& onIteration) {
        boards.emplace_back();
        std::copy(board.begin(), board.end(), boards.back().begin());
        limits.push_back(given);
        onIteration({8, CellAt(10, 9), 15, 1234567, 0.45});
        SearchResult result;
        result.Move = CellAt(1, 2);
        return result;
    };
    const int64_t before = ClockNanoseconds();
    const Transcript t = Run("INFO timeout_turn 777\nINFO time_left 9000\nSTART 20\nTURN 3,4\n");
    const int64_t after = ClockNanoseconds();

    EXPECT_EQ(t.Raw, "OK\nMESSAGE 8; 10,9; 15; 1.23 M; 450 m; 2.74 M\n1,2\n");
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0], BoardOf({{3, 4, 2}}));
    const TimeBudget& time = limits[0].Time;
    EXPECT_TRUE(time.ClockEnabled);
    EXPECT_EQ(time.TimeoutTurn, 777);
    EXPECT_EQ(time.TimeLeft, 9000);
    EXPECT_GE(time.TurnStartTime, before);
    EXPECT_LE(time.TurnStartTime, after);
    EXPECT_EQ(limits[0].LastIteration, MaxIterations - 1);
    EXPECT_EQ(limits[0].Threads, nullptr);
    EXPECT_EQ(Game.Board[CellAt(1, 2)], EngineStone);
}

// INFO thread_num sets the threads a turn searches with: below 2, or not a number, no helper at
// all; above the maximum, the maximum. The helpers last from turn to turn and over START.
TEST_F(GameCommandsTest, ThreadNumSetsTheHelpersOfATurn) {
    std::vector<SearchThreads*> given;
    std::vector<int> helpers;
    session.Search = [&](std::span<const Stone, CellCount> board, const SearchLimits& limits,
                         const IterationCallback&) {
        given.push_back(limits.Threads);
        helpers.push_back(limits.Threads ? limits.Threads->Helpers() : 0);
        SearchResult result;
        result.Move = static_cast<CellIndex>(std::find(board.begin(), board.end(), EmptyCell) -
                                             board.begin());
        return result;
    };
    Run("START 20\nTURN 9,9\nINFO thread_num 3\nTURN 9,10\nTURN 9,11\nSTART 20\nTURN 9,9\n"
        "INFO thread_num 1000\nTURN 9,10\nINFO thread_num abc\nTURN 9,11\n"
        "INFO thread_num 2\nTURN 9,12\nINFO thread_num -4\nTURN 9,13\n");
    EXPECT_EQ(helpers, (std::vector<int>{0, 2, 2, 2, 63, 0, 1, 0}));
    EXPECT_EQ(given[2], given[1]);
    EXPECT_EQ(given[3], given[1]);
    EXPECT_EQ(EngineSettings.thread_num, -4);
}

// max_depth and max_node become the turn's last iteration and node limit; 0, negative values and
// text mean none.
TEST_F(GameCommandsTest, DepthAndNodeSettingsLimitTheTurnsSearch) {
    std::vector<SearchLimits> given;
    session.Search = [&](std::span<const Stone, CellCount> board, const SearchLimits& limits,
                         const IterationCallback&) {
        given.push_back(limits);
        SearchResult result;
        result.Move = static_cast<CellIndex>(std::find(board.begin(), board.end(), EmptyCell) -
                                             board.begin());
        return result;
    };
    const std::tuple<std::string, int, uint64_t> cases[] = {
        {"0", MaxIterations - 1, 0},
        {"-3", MaxIterations - 1, 0},
        {"abc", MaxIterations - 1, 0},
        {"1", 0, 1},
        {"9", 2, 9},
        {"10", 3, 10},
        {"1000000000000", MaxIterations - 1, 1000000000000},
    };
    Run("START 20\n");
    for (const auto& [value, lastIteration, maxNodes] : cases) {
        Run("INFO max_depth " + value + "\nINFO max_node " + value + "\nTURN " +
            MoveText(CellAt(19, static_cast<int>(given.size()))) + "\n");
        ASSERT_FALSE(given.empty()) << value;
        EXPECT_EQ(given.back().LastIteration, lastIteration) << value;
        EXPECT_EQ(given.back().MaxNodes, maxNodes) << value;
        EXPECT_TRUE(given.back().Time.ClockEnabled) << value;
    }
}

// The report lines of a turn without their times: depth, move, score and nodes.
std::vector<std::string> ReportsWithoutTimes(const Transcript& t) {
    std::vector<std::string> reports;
    std::istringstream lines(t.Raw);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("MESSAGE ", 0) != 0) continue;
        size_t end = 0;
        for (int field = 0; field < 4; ++field) end = line.find(';', end) + 1;
        reports.push_back(line.substr(0, end));
    }
    return reports;
}

// A depth limit ends the deepening with the iteration of that depth, whose lines are those of a
// deeper search up to there; a node limit gives the same lines and move on every turn, on one
// thread or on three.
TEST_F(GameCommandsTest, DepthAndNodeLimitsEndTheSearch) {
    const std::string position = "START 20\nBOARD\n10,10,2\n9,9,1\n11,9,2\nDONE\n";
    Run("INFO timeout_turn 100000\nINFO max_depth 9\n");
    const Transcript eight = Run(position);
    Run("INFO max_depth 10\n");
    const Transcript ten = Run(position);
    const std::vector<std::string> shallow = ReportsWithoutTimes(eight),
                                   deep = ReportsWithoutTimes(ten);
    ASSERT_EQ(shallow.size(), 3u);
    ASSERT_EQ(deep.size(), 4u);
    EXPECT_EQ(shallow.back().substr(0, 10), "MESSAGE 8;");
    EXPECT_EQ(deep.back().substr(0, 11), "MESSAGE 10;");
    EXPECT_TRUE(std::equal(shallow.begin(), shallow.end(), deep.begin()));

    Run("INFO max_depth 0\nINFO max_node 300000\n");
    const Transcript first = Run(position);
    Run("INFO thread_num 3\n");
    const Transcript threads = Run(position);
    EXPECT_EQ(ReportsWithoutTimes(first), ReportsWithoutTimes(threads));
    EXPECT_EQ(first.Lines, threads.Lines);
    EXPECT_FALSE(ReportsWithoutTimes(first).empty());
}

// Short games one after another in one session, searched on three threads: every answer is a
// move on a free cell, and the session ends as usual.
TEST_F(GameCommandsTest, ManyShortGamesOnThreeThreads) {
    Run("INFO thread_num 3\nINFO timeout_turn 15\n");
    std::mt19937 random(5);
    for (int game = 0; game < 12; ++game) {
        Transcript t = Run("START 20\nBOARD\n10,10,2\n9,11,1\nDONE\n");
        ASSERT_EQ(t.Lines.size(), 2u);
        ASSERT_TRUE(IsEngineMove(t.Lines[1]));
        for (int turn = 0; turn < 6; ++turn) {
            CellIndex cell;
            do cell = CellAt(6 + random() % 9, 6 + random() % 9);
            while (Game.Board[cell] != EmptyCell);
            t = Run("TURN " + MoveText(cell) + "\n");
            ASSERT_EQ(t.Lines.size(), 1u);
            ASSERT_TRUE(IsEngineMove(t.Lines[0]));
        }
    }
    EXPECT_TRUE(Run("END\n").Ended);
}

TEST_F(GameCommandsTest, FullBoardAnswersBadCoordinates) {
    // Fill the board in a pattern with no five for either side, leaving one cell; after the
    // opponent takes it the engine has nowhere to play.
    std::string input = "START 20\nBOARD\n";
    for (int y = 0; y < BoardSize; ++y) {
        for (int x = 0; x < BoardSize; ++x) {
            if (x == 19 && y == 19) continue;
            const int who = ((x + 2 * y) / 2) % 2 + 1;
            input += std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(who) + "\n";
        }
    }
    input += "DONE\n";
    Run(input);
    ASSERT_EQ(Game.MoveHistory.size(), 400u);
    EXPECT_TRUE(IsEngineMove(MoveText(399)));
    SetUp();
    input.replace(input.find("DONE"), 4, "19,19,2\nDONE");
    const Transcript t = Run(input);
    EXPECT_EQ(t.Lines.back(), "ERROR Bad coordinates");
    EXPECT_EQ(Game.MoveHistory.size(), 400u);
}

}  // namespace
}  // namespace tarn::testing
