// START, TURN, BEGIN, BOARD and END, and the engine's turn they lead to.
#include <algorithm>
#include <string>

#include "protocol/text_forms.h"
#include "search/clock.h"
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
// stone, the manager's limits measured from the turn's start, every iteration allowed and no node
// limit unless the manager set them (0, negative and text values set none); and every iteration
// the search reports is printed before the move.
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
    EXPECT_EQ(limits[0].MaxNodes, 0u);
    EXPECT_EQ(limits[0].Threads, nullptr);
    EXPECT_EQ(Game.Board[CellAt(1, 2)], EngineStone);

    Run("INFO max_depth 9\nINFO max_node 1000000000000\nTURN 5,5\n"
        "INFO max_depth -3\nINFO max_node abc\nTURN 6,6\nINFO max_node -5\nTURN 7,7\n");
    ASSERT_EQ(limits.size(), 4u);
    EXPECT_EQ(limits[1].LastIteration, 2);
    EXPECT_EQ(limits[1].MaxNodes, 1000000000000u);
    for (int turn : {2, 3}) {
        EXPECT_EQ(limits[turn].LastIteration, MaxIterations - 1);
        EXPECT_EQ(limits[turn].MaxNodes, 0u);
    }
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
