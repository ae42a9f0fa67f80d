// The command loop: reading lines, dispatching command words and ending.
#include <string>

#include "tests/protocol/transcript.h"

namespace tarn::testing {
namespace {

using Lines = std::vector<std::string>;
using CommandLoopTest = ProtocolTest;

TEST_F(CommandLoopTest, PrintsNothingBeforeTheFirstLineAndEndsOnEnd) {
    const Transcript t = Run("END\nSTART 20\n");
    EXPECT_EQ(t.Raw, "");
    EXPECT_TRUE(t.Ended);
    EXPECT_FALSE(Game.Initialized);
}

TEST_F(CommandLoopTest, CommandWordsAreMatchedAfterUpperCasing) {
    const Transcript t = Run("start 20\nStArT 20\n\t  START 20\nEnd\nSTART 20\n");
    EXPECT_EQ(t.Lines, (Lines{"OK", "OK", "OK"}));
    EXPECT_TRUE(t.Ended);
}

TEST_F(CommandLoopTest, UnknownWordsAreEchoedUpperCased) {
    const Transcript t = Run("takeback 3,4\nRESTART\nplay 1,1\nDONE\n3,4,1\nSTART20\nyxstop\n");
    EXPECT_EQ(t.Lines,
              (Lines{"UNKNOWN command (TAKEBACK)", "UNKNOWN command (RESTART)",
                     "UNKNOWN command (PLAY)", "UNKNOWN command (DONE)", "UNKNOWN command (3,4,1)",
                     "UNKNOWN command (START20)", "UNKNOWN command (YXSTOP)"}));
}

TEST_F(CommandLoopTest, EmptyAndBlankLinesAreParsingErrors) {
    const Transcript t = Run("\n   \n\t\r\n\r\n");
    EXPECT_EQ(t.Lines, Lines(4, "ERROR Command parsing error"));
    EXPECT_FALSE(Game.Initialized);
}

TEST_F(CommandLoopTest, EndOfInputEndsTheLoopSilently) {
    EXPECT_EQ(Run("").Raw, "");
    EXPECT_FALSE(Run("").Ended);
    const Transcript t = Run("START 20\n");
    EXPECT_EQ(t.Raw, "OK\n");
    EXPECT_FALSE(t.Ended);
}

TEST_F(CommandLoopTest, LastLineWithoutLineFeedIsStillACommand) {
    EXPECT_EQ(Run("START 20").Lines, Lines{"OK"});
    EXPECT_EQ(Run("START 20\nDEBUG move_number").Lines, (Lines{"OK", "DEBUG 1"}));
}

TEST_F(CommandLoopTest, OneCarriageReturnBeforeTheLineFeedIsDropped) {
    EXPECT_EQ(Run("START 20\r\nEND\r\nABOUT\r\n").Lines, Lines{"OK"});
    // Only that one: a second one stays in the line and breaks the syntax.
    EXPECT_EQ(Run("START 20\r\r\n").Lines, Lines{"ERROR Wrong command syntax"});
    EXPECT_EQ(Run("START 20\rX\n").Lines, Lines{"ERROR Wrong command syntax"});
}

TEST_F(CommandLoopTest, NothingIsCarriedFromOneLineToTheNext) {
    // A failed extraction on one line must not leave the next line's stream failed.
    const Transcript t = Run("START abc\nSTART 20\nTURN x\nDEBUG move_number\n");
    EXPECT_EQ(t.Lines,
              (Lines{"ERROR Wrong command syntax", "OK", "ERROR Wrong command syntax", "DEBUG 1"}));
}

TEST_F(CommandLoopTest, HostileBytesNeitherCrashNorEndTheLoop) {
    const std::string megabyte(1 << 20, 'q');
    std::string input = "START 20\n";
    input += megabyte + "\n";
    input += std::string("\0\0\0", 3) + "\n";
    input += "\x80\xff\xfe\n";
    input += "TURN 99999999999,1\n";
    input += "TURN " + std::string(200, '9') + ",1\n";
    input += "DEBUG move_number\n";
    const Transcript t = Run(input);
    ASSERT_EQ(t.Lines.size(), 7u);
    EXPECT_EQ(t.Lines[0], "OK");
    std::string megabyte_upper(1 << 20, 'Q');
    EXPECT_EQ(t.Lines[1], "UNKNOWN command (" + megabyte_upper + ")");
    EXPECT_EQ(t.Lines[2], "UNKNOWN command (" + std::string("\0\0\0", 3) + ")");
    EXPECT_EQ(t.Lines[3], "UNKNOWN command (\x80\xff\xfe)");
    EXPECT_EQ(t.Lines[4], "ERROR Wrong command syntax");
    EXPECT_EQ(t.Lines[5], "ERROR Wrong command syntax");
    EXPECT_EQ(t.Lines[6], "DEBUG 1");
    EXPECT_EQ(Game.MoveNumber, 1);
    EXPECT_TRUE(Game.MoveHistory.empty());
}

TEST_F(CommandLoopTest, EveryAnswerIsFlushedAsItIsWritten) {
    // A stream buffer that records, at every flush, whether the text so far ends a line.
    struct FlushRecorder : std::stringbuf {
        std::vector<std::string> Flushed;
        int sync() override {
            Flushed.push_back(str());
            return 0;
        }
    } recorder;
    std::ostream out(&recorder);
    std::istringstream in("ABOUT\nSTART 20\nBEGIN\nDEBUG move_number\nfoo\n\n");
    EXPECT_EQ(RunCommandLoop(in, out), 0);
    const std::string all = recorder.str();
    ASSERT_FALSE(recorder.Flushed.empty());
    EXPECT_EQ(recorder.Flushed.back(), all);
    std::size_t line_ends = 0, pos = 0;
    while ((pos = all.find('\n', pos)) != std::string::npos) {
        ++line_ends;
        ++pos;
        // Every line end is followed by a flush before anything else is written.
        EXPECT_NE(std::find(recorder.Flushed.begin(), recorder.Flushed.end(), all.substr(0, pos)),
                  recorder.Flushed.end())
            << "no flush after line " << line_ends;
    }
    EXPECT_EQ(line_ends, 6u);
}

}  // namespace
}  // namespace tarn::testing
