// Whole sessions with the engine process over pipes, as a manager runs them: each answer must
// be readable before the next command is written, and the process must exit with status 0.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"

namespace tarn::testing {
namespace {

// "{move}" as a whole expected line stands for a move of the engine: "x,y" on a free cell of
// the board. Inside a longer expected line, "{1}", "{2}", ... stand for the engine's first,
// second, ... move of the session.
constexpr const char* Move = "{move}";

struct Exchange {
    std::string Send;                  // written at once, line ends included
    std::vector<std::string> Answers;  // the lines read back before the next write
};

struct Session {
    const char* Name;
    std::vector<Exchange> Exchanges;
    bool Piped = false;  // write all input and close it first, then read everything
    std::vector<std::string> AnswersAtEnd = {};  // lines still due after the input is closed
};

void PrintTo(const Session& session, std::ostream* out) {
    *out << session.Name;
}

// The sessions, in one table so that they can be run against any build of the engine.
const std::vector<Session>& Sessions() {
    static const std::vector<Session> sessions = {
        {"PipedGameFromTheCommandLine",
         {{"START 20\nBOARD\n10,10,1\n11,11,2\nDONE\nDEBUG last_moves\nDEBUG move_number\nEND\n",
           {"OK", Move, "DEBUG [10,10] [11,11] [{1}] ", "DEBUG 4"}}},
         true},
        {"ManagerGameInOneProcess",
         {{"ABOUT\n",
           {"author=\"Zelvin Ardo\", build-date=\"Apr 26 2019 18:00:01\", country=\"Unknown\", "
            "email=\"zelvin.ardo@example.org\", name=\"Tarn\", version=\"7.5\""}},
          {"START 20\n", {"OK"}},
          {"INFO rule 0\nINFO timeout_turn 300\nINFO timeout_match 0\n"
           "INFO max_memory 367001600\nINFO time_left 2147483647\nBEGIN\n",
           {"10,10"}},
          {"INFO time_left 2147483647\nTURN 9,9\n", {Move}},
          {"TURN 11,9\n", {Move}},
          {"YXSTOP\n", {"UNKNOWN command (YXSTOP)"}},
          {"DEBUG move_number\n", {"DEBUG 6"}},
          {"START 20\n", {"OK"}},
          {"BOARD\n10,10,2\n", {}},
          {"DONE\n", {Move}},
          {"DEBUG last_moves\n", {"DEBUG [10,10] [{3}] "}},
          {"END\n", {}}}},
        {"CarriageReturnLineFeedInput",
         {{"START 20\r\n", {"OK"}},
          {"INFO timeout_turn 300\r\nBOARD\r\n10,10,1\r\n11,11,2\r\ndone\r\n", {Move}},
          {"TURN 5,5\r\n", {Move}},
          {"DEBUG move_number\r\n", {"DEBUG 6"}},
          {"DEBUG last_moves\r\n", {"DEBUG [10,10] [11,11] [{1}] [5,5] [{2}] "}},
          {"END\r\n", {}}}},
        {"ErrorsLeaveTheEngineRunning",
         {{"TURN 10,10\n", {"ERROR This command can be performed only after the initialization"}},
          {"\n", {"ERROR Command parsing error"}},
          {"takeback 3,4\n", {"UNKNOWN command (TAKEBACK)"}},
          {"START 15\n", {"ERROR Unsupported size of the board"}},
          {"START 20\n", {"OK"}},
          {"TURN 20,0\n", {"ERROR Bad coordinates"}},
          {"TURN 3,4 \n", {"ERROR Wrong command syntax"}},
          {"BOARD\n3,4,3\n", {"ERROR Bad player"}},
          {"DONE\n", {"UNKNOWN command (DONE)"}},
          {"END now\n", {"ERROR Wrong command syntax"}},
          {"DEBUG move_number\n", {"DEBUG 1"}},
          {"END\n", {}}}},
        {"ThreadsWaitingAtEnd",
         {{"START 20\nINFO thread_num 4\nINFO timeout_turn 200\nBEGIN\n", {"OK", "10,10"}},
          {"TURN 9,9\n", {Move}},
          {"START 20\nBOARD\n10,10,2\n11,11,1\nDONE\n", {"OK", Move}},
          {"TURN 12,12\n", {Move}},
          {"END\n", {}}}},
        {"ThreadsWaitingAtEndOfInput",
         {{"START 20\nINFO thread_num 2\nINFO timeout_turn 200\nBEGIN\n", {"OK", "10,10"}},
          {"TURN 9,9\n", {Move}}}},
        // A node limit fixes the move whatever the build, its instruction set or its threads:
        // these are the moves of the one-thread search on these positions with these limits.
        // 250000 nodes end the first turn inside the depth-8 iteration, whose best so far (12,8)
        // is not depth 6's (9,11).
        {"NodeLimitFixesTheMove",
         {{"START 20\nINFO timeout_turn 60000\nINFO max_node 250000\n"
           "BOARD\n10,10,2\n9,9,1\n11,9,2\nDONE\n",
           {"OK", "12,8"}},
          {"TURN 9,11\n", {"8,12"}},
          {"INFO thread_num 2\nSTART 20\nBOARD\n10,10,2\n9,9,1\n11,9,2\nDONE\n", {"OK", "12,8"}},
          {"TURN 9,11\n", {"8,12"}},
          {"INFO max_node 0\nINFO max_depth 6\nSTART 20\nBOARD\n10,10,2\n9,9,1\n11,9,2\nDONE\n",
           {"OK", "9,11"}},
          {"END\n", {}}}},
        {"EndOfInputEndsTheProcess",
         {{"START 20\n", {"OK"}}, {"INFO timeout_turn 300\nTURN 7,7\n", {Move}}}},
        {"EndOfInputEndsABoardBlock",
         {{"START 20\n", {"OK"}}, {"INFO timeout_turn 300\nBOARD\n7,7,2\n", {}}},
         false,
         {Move}},
    };
    return sessions;
}

// Cells named in the commands sent ("TURN x,y" and stone lines "x,y,who"), so that a move of
// the engine can be checked against them.
void NoteSentCells(const std::string& text, std::set<std::pair<int, int>>& taken) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("START", 0) == 0) taken.clear();
        if (line.rfind("TURN ", 0) == 0) line = line.substr(5);
        int x, y;
        char comma;
        std::istringstream cell(line);
        if (cell >> x >> comma >> y && comma == ',') taken.insert({x, y});
    }
}

class SessionTest : public ::testing::TestWithParam<Session> {};

TEST_P(SessionTest, RunsToTheEnd) {
    const Session& session = GetParam();
    EngineProcess engine(EngineCommand());
    ASSERT_TRUE(engine.Started());
    std::set<std::pair<int, int>> taken;
    std::vector<std::string> moves;

    // Reads the next answer that is not a search report and checks it against `expected`.
    auto expect_answer = [&](const std::string& expected) {
        std::optional<std::string> line;
        do line = engine.ReadLine();
        while (line && line->rfind("MESSAGE ", 0) == 0);
        ASSERT_TRUE(line) << "no answer, expected \"" << expected << "\"";
        if (expected == Move) {
            int x = -1, y = -1;
            char comma = 0;
            std::istringstream cell(*line);
            ASSERT_TRUE(cell >> x >> comma >> y && comma == ',' && cell.eof() &&
                        *line == std::to_string(x) + "," + std::to_string(y))
                << "not a move: \"" << *line << "\"";
            EXPECT_TRUE(x >= 0 && x < 20 && y >= 0 && y < 20) << *line;
            EXPECT_TRUE(taken.insert({x, y}).second) << *line << " is already taken";
            moves.push_back(*line);
            return;
        }
        std::string want = expected;
        for (std::size_t i = 0; i < moves.size(); ++i) {
            std::string mark = "{";
            mark.append(std::to_string(i + 1)).append("}");
            for (auto at = want.find(mark); at != std::string::npos; at = want.find(mark, at)) {
                want.replace(at, mark.size(), moves[i]);
            }
        }
        EXPECT_EQ(*line, want);
    };

    auto check_exchange = [&](const Exchange& exchange) {
        NoteSentCells(exchange.Send, taken);
        for (const std::string& answer : exchange.Answers) expect_answer(answer);
    };

    if (session.Piped) {
        for (const Exchange& exchange : session.Exchanges) ASSERT_TRUE(engine.Write(exchange.Send));
        engine.CloseInput();
        for (const Exchange& exchange : session.Exchanges) check_exchange(exchange);
    } else {
        for (const Exchange& exchange : session.Exchanges) {
            ASSERT_TRUE(engine.Write(exchange.Send)) << exchange.Send;
            check_exchange(exchange);
            if (::testing::Test::HasFatalFailure()) return;
        }
        engine.CloseInput();
    }
    for (const std::string& answer : session.AnswersAtEnd) expect_answer(answer);

    std::vector<std::string> extra;
    while (auto line = engine.ReadLine()) {
        if (line->rfind("MESSAGE ", 0) != 0) extra.push_back(*line);
    }
    EXPECT_TRUE(extra.empty()) << "unexpected line: \"" << extra.front() << "\"";
    EXPECT_TRUE(engine.OutputEnded());
    EXPECT_EQ(engine.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Engine, SessionTest, ::testing::ValuesIn(Sessions()),
                         [](const auto& info) { return std::string(info.param.Name); });

// The move answers arrive while the manager still holds the pipe open: an engine that waits
// for more input before it flushes would hang here (caught by the read timeout, not a clock).
TEST(EngineProcessTest, AnswerArrivesBeforeTheInputEnds) {
    EngineProcess engine(EngineCommand());
    ASSERT_TRUE(engine.Started());
    ASSERT_TRUE(engine.Write("START 20\nBEGIN\n"));
    EXPECT_EQ(engine.ReadLine(), "OK");
    EXPECT_EQ(engine.ReadLine(), "10,10");
    ASSERT_TRUE(engine.Write("END\n"));
    EXPECT_TRUE(engine.OutputEnded());
    EXPECT_EQ(engine.WaitForExit(), 0);
}

}  // namespace
}  // namespace tarn::testing
