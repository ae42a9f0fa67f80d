// The engine's turns on several threads (INFO thread_num): the helpers a turn gets, and whole
// sessions searched on threads. These tests start threads, so they run in a program of their
// own, labelled for make test-tsan (tests/CMakeLists.txt).
#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/text_forms.h"
#include "search/threads.h"
#include "tests/protocol/transcript.h"

namespace tarn::testing {
namespace {

// The sessions here search on as many threads as they ask for, whatever processors the machine
// running the tests has.
class ThreadNumTest : public ProtocolTest {
protected:
    void SetUp() override {
        ProtocolTest::SetUp();
        session.Processors = 0;
    }
};

// INFO thread_num sets the threads a turn searches with: below 2, or not a number, no helper at
// all; above the maximum, the maximum; above the processors the session may use, as many threads
// as processors. The helpers last from turn to turn and over START.
TEST_F(ThreadNumTest, SetsTheHelpersOfATurn) {
    std::vector<HelperTeam*> given;
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

    session.Processors = 4;
    helpers.clear();
    Run("START 20\nINFO thread_num 1000\nTURN 9,9\nINFO thread_num 4\nTURN 9,10\n"
        "INFO thread_num 3\nTURN 9,11\n");
    EXPECT_EQ(helpers, (std::vector<int>{3, 3, 2}));
    session.Processors = 1;
    helpers.clear();
    Run("START 20\nINFO thread_num 8\nTURN 9,9\n");
    EXPECT_EQ(helpers, (std::vector<int>{0}));
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
TEST_F(ThreadNumTest, DepthAndNodeLimitsEndTheSearch) {
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
TEST_F(ThreadNumTest, ManyShortGamesOnThreeThreads) {
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

}  // namespace
}  // namespace tarn::testing
