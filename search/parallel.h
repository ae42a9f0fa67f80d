// A parallel search that searches exactly the tree of the one-thread search. Threads share the
// later children of a node once its first child is searched (young brothers wait), and of the
// root once its first move is. A thread searches a child with the window the node has when it
// starts; the results are committed in the one-thread order, and only if the node's window is
// still the one the child was searched with: a child whose window has changed since is searched
// again, and children beyond a cut-off or beyond a width that shrank are thrown away. So every
// value, best move and node count is the one-thread search's, and only the time differs.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "game/model.h"
#include "search/node.h"
#include "search/search_state.h"

namespace tarn {

struct SplitPoint;
struct ParallelSearch;

// The lowest remaining depth at which a node shares its children: below it a child is too small
// to pay for handing it over.
inline constexpr int MinSplitDepth = 5;
// The lowest remaining depth at which a node of a parallel search tests whether its work is still
// wanted, after each child: the children of the nodes that share theirs. The nodes below are the
// one-thread search's own, which only test the clock.
inline constexpr int MinWorkerDepth = MinSplitDepth - 1;

// A child of a split point being searched by some thread, with the alpha its window came from.
struct SpeculativeChild {
    SplitPoint* Split;
    int Position;
    Score Alpha;
};

// What one thread of a parallel search owns: a search state of its own (its model, node count and
// budget), and where it stands among the split points.
struct WorkerState : SearchState {
    ParallelSearch* Shared = nullptr;
    // The innermost split child this thread is searching; null on the main line of the search.
    const SpeculativeChild* Child = nullptr;
    // The split point whose copy of the model this thread's model equals, or null.
    const SplitPoint* ModelOf = nullptr;
    // The cancellation of Child as last worked out, and the Shared epoch it was worked out at.
    uint64_t SeenEpoch = 0;
    bool Cancelled = false;
    // How many split points this thread is helping at below its own: bounds its stack.
    int HelpNesting = 0;
};

// What all threads of one parallel search share. It lives as long as the search.
// The counters that every thread reads often and some write now and then each have a cache line
// of their own.
struct ParallelSearch {
    TimeBudget Budget;
    bool MoreThreadsThanCores = false;
    std::atomic<bool> Searching{true};
    alignas(CacheLineBytes) std::atomic<bool> TimedOut{false};
    // Advanced whenever a split point's window, width or stop changes, so that a thread works
    // out again whether its child is still wanted only when something has changed.
    std::atomic<uint64_t> Epoch{1};
    alignas(CacheLineBytes) std::atomic<int> Idle{0};  // threads waiting for something to help with
    alignas(CacheLineBytes) std::atomic<uint64_t> Thrown{
        0};  // nodes searched on speculation, thrown away
    alignas(CacheLineBytes) std::atomic<int> OpenSplits{0};  // split points in the list below
    std::mutex ListLock;
    SplitPoint* Splits = nullptr;  // open split points, newest first
};

// Whether a child's search must stop: the time is up (found by any thread), or the child is no
// longer wanted (a cut-off, a narrower width or a new alpha at its split point or at one above).
bool Unwanted(const SpeculativeChild& child);

// The stop tests of the node chain, compiled with each search path (game/path_namespace.h).
inline namespace TARN_PATH_NAMESPACE {

// Whether the time is up, found by this thread's clock test or by another thread's. The nodes of
// the one-thread chain below test only the clock; the clock never goes back, so a time-out they
// found is found again here.
inline bool TimeIsUp(WorkerState& worker) {
    ParallelSearch& shared = *worker.Shared;
    if (shared.TimedOut.load(std::memory_order_acquire)) return true;
    if (!worker.Budget.OutOfTime()) return false;
    shared.TimedOut.store(true, std::memory_order_release);
    return true;
}

inline bool ShouldStop(WorkerState& worker) {
    if (TimeIsUp(worker)) return true;
    if (!worker.Child) return false;
    ParallelSearch& shared = *worker.Shared;
    const uint64_t epoch = shared.Epoch.load(std::memory_order_acquire);
    if (epoch != worker.SeenEpoch) {
        worker.SeenEpoch = epoch;
        worker.Cancelled = Unwanted(*worker.Child);
    }
    return worker.Cancelled;
}

// A node shares its children only while some thread waits for work.
inline bool MaySplit(const WorkerState& worker) {
    return worker.Shared->Idle.load(std::memory_order_relaxed) > 0;
}

}  // namespace TARN_PATH_NAMESPACE

// A child of a split point, searched by `worker` with the window `alpha` gives. The worker's model
// is the split point's copy.
using SplitChildSearch = Score (*)(WorkerState& worker, const SplitPoint& split, int position,
                                   Score alpha);

// Where a node's children are searched from; none of it changes during the node's child loop.
struct NodeFrame {
    const CandidateList& Candidates;
    const CellScores& NextGains;
    const CellScores& MoverGains;
    Score Base, Beta;
};

// A node or the root whose later children the threads share, on the stack of its owner (the
// thread that searched its first child), which does not leave it while another thread works there.
struct SplitPoint {
    enum class Kind : uint8_t { Node, Root };
    enum class ChildState : uint8_t { Free, Running, Done };
    struct Child {
        ChildState State;
        Score Alpha;  // of the window it was searched with
        Score Value;
        uint64_t Nodes;
    };

    // Set by the owner before any other thread can see the split point.
    Kind Of = Kind::Node;
    int Depth = 0;
    int Count = 0;  // children at positions 0 to Count - 1 (the earliest are searched already)
    SplitChildSearch Search = nullptr;
    const void* Frame = nullptr;               // a NodeFrame, or the root's own data
    const SpeculativeChild* Parent = nullptr;  // the split child the owner was searching, if any
    ModelState Model;                          // the owner's model at the node

    // The rest is guarded by Lock. Alpha, Limit and Stopped are also read without it.
    std::mutex Lock;
    ChildBounds Bounds{};
    std::atomic<Score> Alpha{0};
    std::atomic<int> Limit{0};  // the positions below it are wanted: the width, or Count
    std::atomic<bool> Stopped{false};
    std::atomic<bool> Finished{false};  // stopped, or every wanted child committed
    // How far past the next child to commit the earliest child waiting for a thread lies; -1
    // when none waits.
    std::atomic<int> FreeAhead{-1};
    std::atomic<int> CommittedUpTo{0};  // NextCommit, for threads choosing where to help
    bool Aborted = false;               // stopped for the time or for a cancellation above
    Score StopValue = 0;
    int NextCommit = 0;  // the next position to commit, in the one-thread order
    int Started = 0;     // positions from here on have never been handed out
    uint64_t Committed = 0;
    std::atomic<int> Helpers{0};  // threads other than the owner working here
    SplitPoint *Newer = nullptr, *Older = nullptr;
    Child Children[CellCount];
};

// How a node's split ended: aborted (the node returns at once, as on a time-out), stopped by a
// child's value, or with every wanted child committed. `bounds` holds the node's final best.
struct SplitEnd {
    bool Aborted = false;
    bool Stopped = false;
    Score Value = 0;
};

// Shares the children of a node from `from` on with the idle threads and returns when they are
// all committed or no longer wanted.
SplitEnd SplitNode(WorkerState& owner, const NodeFrame& frame, ChildBounds& bounds, int from,
                   int depth, SplitChildSearch search);

// Runs a split point whose owner has filled in its fixed part, from position `from` with the
// window `alpha` (the root's best score so far).
void RunSplit(WorkerState& owner, SplitPoint& split, int from, const ChildBounds& bounds);

// The work of a helper thread for the whole of one search: it helps wherever help is wanted.
void HelpSearch(ParallelSearch& search);

}  // namespace tarn
