// ABOUT, INFO and DEBUG: the commands that describe, configure and inspect the engine.
#include <string>
#include <tuple>

#include "tests/protocol/transcript.h"

namespace tarn::testing {
namespace {

using Lines = std::vector<std::string>;
using InfoCommandsTest = ProtocolTest;

constexpr const char* AboutLine =
    "author=\"Zelvin Ardo\", build-date=\"Apr 26 2019 18:00:01\", country=\"Unknown\", "
    "email=\"zelvin.ardo@example.org\", name=\"Tarn\", version=\"7.5\"";

TEST_F(InfoCommandsTest, AboutWorksBeforeStartAndTakesNoArguments) {
    EXPECT_EQ(Run("ABOUT\nabout\n").Raw, std::string(AboutLine) + "\n" + AboutLine + "\n");
    EXPECT_EQ(Run("ABOUT x\nABOUT \n").Lines, Lines(2, "ERROR Wrong command syntax"));
}

TEST_F(InfoCommandsTest, TimeSettingsAreStoredWidened) {
    const Transcript t = Run(
        "INFO timeout_turn 1000\nINFO time_left 99999999999\nINFO timeout_match -99999999999\n");
    EXPECT_EQ(t.Raw, "");
    EXPECT_EQ(EngineSettings.timeout_turn, 1000);
    EXPECT_EQ(EngineSettings.time_left, 2147483647);
    EXPECT_EQ(EngineSettings.timeout_match, -2147483648LL);
}

TEST_F(InfoCommandsTest, IntegerSettingsFollowTheValueRules) {
    Run("INFO max_memory 83886080\nINFO game_type 1\nINFO rule 1\n");
    EXPECT_EQ(EngineSettings.max_memory, 83886080);
    EXPECT_EQ(EngineSettings.game_type, 1);
    EXPECT_EQ(EngineSettings.rule, 1);

    // No value keeps the setting; a value that is not a number stores 0; trailing text is
    // ignored after the number.
    Run("INFO max_memory\nINFO game_type   \t\nINFO rule abc\n");
    EXPECT_EQ(EngineSettings.max_memory, 83886080);
    EXPECT_EQ(EngineSettings.game_type, 1);
    EXPECT_EQ(EngineSettings.rule, 0);

    Run("INFO rule 5000abc\nINFO game_type 7 x\nINFO max_memory +12\n");
    EXPECT_EQ(EngineSettings.rule, 5000);
    EXPECT_EQ(EngineSettings.game_type, 7);
    EXPECT_EQ(EngineSettings.max_memory, 12);

    Run("INFO max_memory " + std::string(40, '9') + "\nINFO rule -" + std::string(40, '9') + "\n");
    EXPECT_EQ(EngineSettings.max_memory, 2147483647);
    EXPECT_EQ(EngineSettings.rule, -2147483647 - 1);
}

TEST_F(InfoCommandsTest, MissingOrBadTimeValues) {
    Run("INFO timeout_turn\n");
    EXPECT_EQ(EngineSettings.timeout_turn, 200);  // as the fixture set it
    Run("INFO timeout_turn abc\nINFO time_left -\n");
    EXPECT_EQ(EngineSettings.timeout_turn, 0);
    EXPECT_EQ(EngineSettings.time_left, 0);
}

// The depth limit is a 32-bit setting like the others; the node limit reads 64 bits, so that a
// manager can give a count beyond 2^31. Any value is stored: 0, negative ones and text (stored
// as 0) mean no limit when the turn reads them.
TEST_F(InfoCommandsTest, DepthAndNodeLimitsFollowTheValueRules) {
    const std::tuple<std::string, int32_t, int64_t> cases[] = {
        {"12", 12, 12},
        {"1000000000000", 2147483647, 1000000000000},
        {"-7", -7, -7},
        {"0", 0, 0},
        {"abc", 0, 0},
        {"50000x", 50000, 50000},
        {std::string(30, '9'), 2147483647, 9223372036854775807},
        {"-" + std::string(30, '9'), -2147483647 - 1, -9223372036854775807 - 1},
    };
    for (const auto& [value, depth, nodes] : cases) {
        EXPECT_EQ(Run("INFO max_depth " + value + "\nINFO max_node " + value + "\n").Raw, "");
        EXPECT_EQ(EngineSettings.max_depth, depth) << value;
        EXPECT_EQ(EngineSettings.max_node, nodes) << value;
    }
    Run("INFO max_depth 9\nINFO max_node 123456\nINFO max_depth\nINFO max_node \nSTART 20\n");
    EXPECT_EQ(EngineSettings.max_depth, 9);
    EXPECT_EQ(EngineSettings.max_node, 123456);
}

TEST_F(InfoCommandsTest, KeysMatchExactlyAndUnknownKeysAreIgnored) {
    const Transcript t = Run("INFO TIMEOUT_TURN 1000\nINFO timeout 1\nINFO evaluate 3,4\n");
    EXPECT_EQ(t.Raw, "");
    EXPECT_EQ(EngineSettings.timeout_turn, 200);
    EXPECT_EQ(EngineSettings.time_left, 120000);
}

TEST_F(InfoCommandsTest, FolderIsOneWord) {
    Run("INFO folder C:\\tmp\n");
    EXPECT_EQ(EngineSettings.folder, "C:\\tmp");
    Run("INFO folder\n");
    EXPECT_EQ(EngineSettings.folder, "C:\\tmp");
    Run("INFO folder C:\\Program Files\\x\n");
    EXPECT_EQ(EngineSettings.folder, "C:\\Program");
}

TEST_F(InfoCommandsTest, InfoWithoutKeyIsASyntaxError) {
    EXPECT_EQ(Run("INFO\nINFO   \n").Lines, Lines(2, "ERROR Wrong command syntax"));
}

TEST_F(InfoCommandsTest, SettingsSurviveStart) {
    Run("INFO timeout_turn 777\nSTART 20\n");
    EXPECT_EQ(EngineSettings.timeout_turn, 777);
}

TEST_F(InfoCommandsTest, DebugConfigPrintsTheBuildConstants) {
    const Lines config = {
        "DEBUG ReleaseDate: Apr 26 2019 18:00:01",
        "DEBUG Debug: 0",
        "DEBUG MessageLevel: 0",
        "DEBUG BoardSize: 20",
        "DEBUG SortMovesDepth: 2",
        "DEBUG NFirstMaxMoves: 1",
        "DEBUG CheckTimeoutDepth: 3",
        "DEBUG Evaluation: [1, 4, 11, 43]",
    };
    Lines expected = {"OK"};
    expected.insert(expected.end(), config.begin(), config.end());
    expected.insert(expected.end(), config.begin(), config.end());
    EXPECT_EQ(Run("START 20\nDEBUG config\ndebug CONFIG\n").Lines, expected);
}

TEST_F(InfoCommandsTest, DebugNeedsStartAndAKeyword) {
    EXPECT_EQ(Run("DEBUG move_number\n").Lines,
              Lines{"ERROR This command can be performed only after the initialization"});
    const Transcript t =
        Run("START 20\nDEBUG\nDEBUG config now\nDEBUG move_number \nDEBUG x\nDEBUG configs\n"
            "DEBUG config_\nDEBUG x y\n");
    EXPECT_EQ(t.Lines, (Lines{"OK", "ERROR Wrong command syntax", "ERROR Wrong command syntax",
                              "ERROR Wrong command syntax"}));
}

TEST_F(InfoCommandsTest, DebugMovesAndMoveNumberFollowTheGame) {
    Transcript t = Run("START 20\nDEBUG last_moves\nDEBUG Move_Number\n");
    EXPECT_EQ(t.Raw, "OK\nDEBUG \nDEBUG 1\n");

    t = Run("START 20\nTURN 9,9\nDEBUG last_moves\nDEBUG move_number\n");
    ASSERT_EQ(t.Lines.size(), 4u);
    EXPECT_TRUE(IsEngineMove(t.Lines[1], 1));
    EXPECT_EQ(t.Lines[2], "DEBUG [9,9] [" + t.Lines[1] + "] ");
    EXPECT_EQ(t.Lines[3], "DEBUG 3");
}

}  // namespace
}  // namespace tarn::testing
