// The parallel search on virtual processors. It runs the parallel search's own code on one thread
// in an order fixed by its clocks, which makes it a repeatable test of that code on any number of
// processors: every iteration as on one thread. Its clocks are held to what is known of them:
// one processor takes exactly the one-thread search's nodes, more processors spend their time on
// nodes searched (dearer where they keep their lines), waits and hand-overs, and a run repeats to
// the tick.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "search/foresight.h"
#include "search/parallel.h"
#include "search/root.h"
#include "search/threads.h"
#include "search/virtual_processors.h"
#include "tests/support/search.h"

namespace tarn::testing {
namespace {

struct SuiteRun : SuiteTotals {
    int64_t Elapsed = 0;
    int64_t Waited = 0, HandedOver = 0, NodeTicks = 0;
};

SuiteRun SimulateSuite(int processors, Foresight* foresight = nullptr) {
    VirtualProcessors simulation(processors);
    simulation.Foresee(foresight);
    SuiteRun run;
    static_cast<SuiteTotals&>(run) = SearchPositionsAsOnOneThread(simulation, foresight);
    run.Elapsed = simulation.Elapsed();
    run.Waited = simulation.Waited();
    run.HandedOver = simulation.HandedOver();
    run.NodeTicks = simulation.NodeTicks();
    return run;
}

TEST(VirtualProcessorsTest, EveryIterationAsOnOneThreadAndTheClocksHold) {
    if (!VirtualProcessors::Available()) GTEST_SKIP() << "no fibers on this system";
    const SuiteRun one = SimulateSuite(1);
    EXPECT_EQ(one.Elapsed, static_cast<int64_t>(one.Nodes) * VirtualProcessors::TicksPerNode);
    EXPECT_EQ(one.Thrown, 0u);
    EXPECT_EQ(one.Reused, 0u);
    EXPECT_EQ(one.Waited + one.HandedOver, 0);
    for (int processors : {2, 3, 8, 16}) {
        const SuiteRun many = SimulateSuite(processors);
        EXPECT_GT(many.Thrown, 0u) << processors;
        const bool keepsLines = processors >= KeepLinesFromThreads;
        if (keepsLines)
            EXPECT_GT(many.Reused, 0u) << processors;
        else
            EXPECT_EQ(many.Reused, 0u) << processors;
        EXPECT_EQ(many.NodeTicks,
                  keepsLines ? VirtualProcessors::RangedNodeTicks : VirtualProcessors::TicksPerNode)
            << processors;
        // The processors' time is the nodes searched, less those taken from lines searched
        // before, the waits and the hand-overs, but for the few ticks a helper may end past the
        // searching thread.
        const double time = static_cast<double>(many.Elapsed * processors);
        const double searched =
            static_cast<double>((many.Nodes + many.Thrown - many.Reused) * many.NodeTicks);
        EXPECT_NEAR(searched + static_cast<double>(many.Waited + many.HandedOver), time,
                    time / 1000)
            << processors;
        EXPECT_GT(many.Waited, 0) << processors;
        EXPECT_GT(many.HandedOver, 0) << processors;
        EXPECT_LT(many.Elapsed, one.Elapsed) << processors;
        if (processors == 3) {
            const SuiteRun again = SimulateSuite(processors);
            EXPECT_EQ(again.Elapsed, many.Elapsed);
            EXPECT_EQ(again.Thrown, many.Thrown);
            EXPECT_EQ(again.Waited, many.Waited);
        }
    }
}

// Knowing what the one-thread search did, the simulation hands out only the children it searched,
// each with its window: nothing is thrown away, so no line is kept to take again (nor its range
// paid for), and the same processors finish sooner.
TEST(VirtualProcessorsTest, ForesightThrowsNothingAway) {
    if (!VirtualProcessors::Available()) GTEST_SKIP() << "no fibers on this system";
    Foresight foresight(16);
    for (int processors : {2, 5}) {
        const SuiteRun guessing = SimulateSuite(processors);
        const SuiteRun foreseeing = SimulateSuite(processors, &foresight);
        EXPECT_FALSE(foresight.Overflowed());
        EXPECT_EQ(foreseeing.Thrown, 0u) << processors;
        EXPECT_EQ(foreseeing.NodeTicks, VirtualProcessors::TicksPerNode) << processors;
        EXPECT_LT(foreseeing.Elapsed, guessing.Elapsed) << processors;
    }
}

// A node's later children as recorded; past the room for the children that moved the window,
// every later child counts as moving it. A full table keeps the nodes it has and says so.
TEST(ForesightTest, KeepsWhatTheOneThreadSearchDid) {
    Foresight foresight(1);
    EXPECT_EQ(foresight.Find(7), nullptr);
    for (int p = 1; p <= 20; ++p) foresight.Note(7, p, p == 2 || p >= 10);
    const Foresight::Node* node = foresight.Find(7);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Last, 20);
    for (int p : {2, 10, 15, 16, 20}) EXPECT_TRUE(node->MovesWindow(p)) << p;
    for (int p : {1, 3, 9}) EXPECT_FALSE(node->MovesWindow(p)) << p;
    foresight.Note(0, 1, false);
    EXPECT_FALSE(foresight.Overflowed());
    foresight.Note(ExtendLine(7, 1), 1, false);
    EXPECT_TRUE(foresight.Overflowed());
    EXPECT_NE(foresight.Find(0), nullptr);
    EXPECT_EQ(foresight.Find(ExtendLine(7, 1)), nullptr);
}

int HelpersStarted = -1;

void StartHelpers(int asked) {
    const SearchThreads helpers(asked);
    HelpersStarted = helpers.Helpers();
}

// The guard of the test programs without threads (tests/support/no_threads.cpp) catches a test
// that starts them, here search threads, which then do without their helpers.
TEST(NoThreadsGuardTest, ATestThatStartsThreadsFails) {
    EXPECT_NONFATAL_FAILURE(StartHelpers(2), "starts a thread");
    EXPECT_EQ(HelpersStarted, 0);
}

}  // namespace
}  // namespace tarn::testing
