// A deterministic simulation of the parallel search on P processors, whatever cores there are.
// The searching thread and P - 1 helpers run the real parallel search (the same split, commit and
// cancel code as the threads of the system) as fibers on the one thread of the caller, each on a
// virtual processor with a clock of its own. A processor's clock advances with the nodes its
// thread searches and with the cost of what it does besides (taking a child, handing over a
// result, opening a split point); a thread with nothing to do advances to the moment work
// appears. The fiber that runs is always the one whose clock is earliest (of equal clocks, the
// lowest processor), and it hands the real thread over only where threads meet: before it takes,
// commits or looks for work, and at the stop tests once it is a little ahead. So threads see each
// other's doings in the order of virtual time, every run of a simulation is the same, and the
// time of the searching thread is what the search would take on P processors of equal speed.
//
// Invariants the fibers rely on: a fiber never hands over the thread while it holds a lock (the
// hooks are all outside the split points' and the list's locks), so the locks never contend and
// the atomics see a single thread; and only the searching thread (processor 0) runs on the
// caller's own stack, the helpers on stacks of their own that outlive every search.
//
// Where the processor or the system lacks what fibers need (the x86-64 System V calling
// convention), Available() is false and no simulation can be made.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/threads.h"

namespace tarn {

struct WorkerState;
class Foresight;

// What a thread of a parallel search does besides searching nodes. Each has a cost in virtual
// time, measured on real searches (bench/RESULTS.md, "Parallel search").
enum class Overhead : uint8_t {
    None,
    FindWork,     // a look through the open split points for a child waiting for a thread
    TakeChild,    // taking a child of a split point, its arrays copied from the owner's frame
    CopyModel,    // taking a child of another split point than the last: the model copied too
    CommitChild,  // handing a child's result to its split point, which commits what it can
    OpenSplit,    // making a split point: the owner's model copied, the split point listed
    JoinSplit,    // FindWork found a split point: its lines read, most of them last written by
                  // the other threads
    CloseSplit,   // the owner takes its split point off the list and its results back
};

class VirtualProcessors final : public HelperTeam {
public:
    // Whether this build and system can run a simulation.
    static bool Available();

    // A simulation on `processors` (1 to MaxSearchThreads) processors; Available() must hold.
    explicit VirtualProcessors(int processors);
    ~VirtualProcessors();
    VirtualProcessors(const VirtualProcessors&) = delete;
    VirtualProcessors& operator=(const VirtualProcessors&) = delete;

    // Virtual time is counted in ticks, a thousandth of the time a node takes on one thread.
    static constexpr int64_t TicksPerNode = 1000;
    // A node of a search that keeps its lines takes longer: below the nodes that share, the
    // threads work out each node's range (search/searched_lines.h), 5.5 % more instructions per
    // node than the same search without. Two real threads that keep their lines pay about 1.07
    // in all with the lines kept and found, which their runs spread over (bench/RESULTS.md,
    // "Parallel search").
    static constexpr int64_t RangedNodeTicks = 1055;

    int Helpers() const override { return count - 1; }
    VirtualProcessors* Simulation() override { return this; }

    // The virtual time of all searches so far, from the start of each to the end of its
    // iterations, in ticks.
    int64_t Elapsed() const { return elapsed; }
    // Of the time of all processors over those searches, what went into waiting for work (looking
    // for it included) and into handing work over (the other costs of Overhead), in ticks.
    int64_t Waited() const { return waited; }
    int64_t HandedOver() const { return handedOver; }
    // What a node took in those searches, in ticks (every search of a team keeps its lines or
    // none does).
    int64_t NodeTicks() const { return nodeTicks; }

    // What the one-thread search did, for the searches from now on to share their work by, or
    // null (search/foresight.h). The searches also record into it while it is recording.
    void Foresee(Foresight* foresight) { sight = foresight; }
    Foresight* Foreseen() const { return sight; }

    // The hooks of the parallel search, called by the thread of the running fiber.
    // At a stop test: charges the nodes searched since the last hook; hands over once this
    // processor is more than a small quantum ahead of another.
    void StopTest(WorkerState& worker);
    // Before the thread meets others (takes, commits, looks for work, opens a split point):
    // charges its nodes and `overhead`, then hands over while another processor is behind it.
    void Meet(WorkerState& worker, Overhead overhead);
    // The thread found nothing to do: its clock advances to the earliest clock of a thread that
    // works, and the thread looks again when that one has moved on.
    void Wait();

    struct Processor {
        void* Saved = nullptr;  // the fiber's stack pointer while another one runs
        char* Stack = nullptr;  // a helper's stack, a guard page below it
        const void* StackBottom = nullptr;
        size_t StackSize = 0;
        void* SanitizerFiber = nullptr;
        int64_t Clock = 0;
        bool Live = false;     // its thread is working on the present search
        bool Waiting = false;  // its thread found nothing to do and waits
    };

private:
    void Begin(ParallelSearch& search) override;
    void End() override;
    static void HelperMain(void* simulation);
    void Charge(WorkerState& worker, Overhead overhead);
    // The live processor with the earliest clock other than the running one; -1 if none.
    int Earliest(bool workingOnly) const;
    void SwitchTo(int next);
    void FinishSwitch();

    int count;
    int running = 0;
    ParallelSearch* search = nullptr;
    int64_t nodeTicks = TicksPerNode;  // what a node of the present search takes
    int64_t searchStart = 0;
    int64_t elapsed = 0;
    int64_t waited = 0;
    int64_t handedOver = 0;
    Foresight* sight = nullptr;
    Processor processors[MaxSearchThreads];
};

}  // namespace tarn
