// A parallel search that searches exactly the tree of the one-thread search. Threads share the
// later children of a node once its first child is searched (young brothers wait), and of the
// root once its first move is. A thread searches a child with the window the node has when it
// starts; the results are committed in the one-thread order, and only if the node's window is
// still the one the child was searched with: a child whose window has changed since is searched
// again, and children beyond a cut-off or beyond a width that shrank are thrown away. So every
// value, best move and node count is the one-thread search's, and only the time differs.
//
// The design, the life of a split point and the invariants the code below relies on are set out
// in docs/parallel-search.md; the comments here say where each invariant is kept.
//
// A node limit stops the search where the one-thread search stops, though a thread searching a
// child of a split point cannot know the one-thread node count there until the earlier children
// are committed. Each thread therefore stops at a count of its own (StopNodeCount) that it
// reaches only where the one-thread count has surely reached the limit: on the main line of the
// search (no split child above) its count is the one-thread count; inside a split child it starts
// from a lower bound of the one-thread count at that child (the split point's lower bound when it
// was opened, plus the children committed when the child was taken). There the limit is reached
// only if the child is ever committed with its window, so the child stops and is handed back
// with the nodes it searched. Every commit applies the one-thread test after a child (the lower
// bound of the split point, the committed nodes and the child's reach the limit): that child's
// nodes take it there, as do those of a child that a lower bound let run to its end. The split
// point then stops at that child as on a time-out. On the main line that is the search's stop;
// within a split child, the owner's count reaches its own StopNodeCount with the nodes the split
// point stopped at, and the child it searches stops in turn.
#pragma once

#include <atomic>
#include <cstdint>

#include "game/model.h"
#include "search/foresight.h"
#include "search/node.h"
#include "search/search_state.h"
#include "search/spin_lock.h"
#include "search/threads.h"
#include "search/virtual_processors.h"

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
// A node whose first child moved its window (a node of the principal line, or one that was to be
// cut off by its first child and was not) shares its children only from this position on: there
// the next children often move the window again or cut the node off, which throws away whatever
// the other threads searched beside them.
inline constexpr int MovedWindowSplitFrom = 3;
// A node of the iteration's first line (searched with the full window: the first root move, its
// first reply, and so on down) shares its children from this position on instead, where the search
// keeps its lines. While such a node searches its next children one by one, every other thread
// waits: nothing else of the iteration is open yet. Sharing them earlier throws away more when
// they move the window, but where lines are kept most of that is taken again when they are
// searched again; without the lines the two balance (bench/RESULTS.md).
inline constexpr int FirstLineSplitFrom = 2;
// A split point holds back the children after an unresolved one (NoteUnresolved) only from this
// remaining depth on. Below it the children are small and an unresolved one is soon done: the
// threads held back would spend longer looking for work elsewhere and waiting than the children
// searched beside it cost when it moves the window.
inline constexpr int HoldBackFromDepth = 9;

// A child of a split point being searched by some thread, with the alpha its window came from.
// It lives in the frame of the thread's WorkAt for as long as the search of the child.
struct SpeculativeChild {
    SplitPoint* Split;
    int Position;
    Score Alpha;
    // Searched before at its split point, or within such a child: only here can a line have been
    // searched before (search/searched_lines.h).
    bool Again;
};

// What one thread of a parallel search owns: a search state of its own (its model, node count,
// budget and the range of the node it left last), and where it stands among the split points.
struct WorkerState : TrackingState {
    ParallelSearch* Shared = nullptr;
    // The innermost split child this thread is searching; null on the main line of the search.
    const SpeculativeChild* Child = nullptr;
    // The split point whose copy of the model this thread's model equals, or null. Never a split
    // point that has ended: a thread clears it when it leaves one.
    const SplitPoint* ModelOf = nullptr;
    // The cancellation of Child as last worked out, and the Shared epoch it was worked out at.
    uint64_t SeenEpoch = 0;
    bool Cancelled = false;
    // The line of the node being searched (search/foresight.h), kept from the root down to the
    // children of the nodes that may share theirs.
    uint64_t Line = 0;
    // How many split points this thread is helping at below its own: bounds its stack.
    int HelpNesting = 0;
    // In a simulation, the node count up to which this thread's work is charged to its virtual
    // processor. NodeCount - AccountedNodes is the work searched since, which every write of
    // NodeCount other than the nodes' own increments keeps (SetNodeCount).
    uint64_t AccountedNodes = 0;
    // The one-thread count of the iteration at which the search stops: the turn's node limit
    // less the iterations before, or NoNodeLimit. StopNodeCount is kept such that this thread's
    // count reaches it only where a lower bound of the one-thread count reaches this.
    uint64_t NodeLimit = NoNodeLimit;
};

// Sets the node count of a search, as the root does for each iteration and a split point when it
// takes a child's nodes apart, keeping the work not yet charged to a virtual processor.
inline void SetNodeCount(SearchState& search, uint64_t count) {
    search.NodeCount = count;
}
inline void SetNodeCount(WorkerState& worker, uint64_t count) {
    worker.AccountedNodes += count - worker.NodeCount;
    worker.NodeCount = count;
}

// What all threads of one parallel search share. It lives as long as the search: it starts the
// team's helpers on itself when it is made and stops them before it is destroyed, so no helper
// outlives the search it works on.
// The counters that every thread reads often and some write now and then each have a cache line
// of their own.
struct ParallelSearch {
    ParallelSearch(HelperTeam& team, const TimeBudget& budget);
    ~ParallelSearch();
    ParallelSearch(const ParallelSearch&) = delete;
    ParallelSearch& operator=(const ParallelSearch&) = delete;

    HelperTeam& Team;
    VirtualProcessors* const Simulation;  // null: the threads are the system's
    // A simulation's foresight, or null; and whether this search records it rather than shares
    // its work by it. Plain fields, read by the nodes of every search path.
    Foresight* const Sight;
    const bool RecordingSight;
    const TimeBudget Budget;
    // A node shares its children only while at least this many threads wait, and a helper joins
    // a search from the top only then too: 1, or with more threads than cores, as many as keep
    // the threads that search at once down to the cores. Threads beyond the cores would only take
    // turns with the others, and each one in the chain that has to notice a time-out would wait
    // for its turn on a core.
    const int IdleToShare;
    bool MoreThreadsThanCores() const { return IdleToShare > 1; }
    std::atomic<bool> Searching{true};  // cleared when the search ends; the helpers then leave
    alignas(CacheLineBytes) std::atomic<bool> TimedOut{false};  // set once, never cleared
    // Advanced whenever a split point's window, width or stop changes, so that a thread works
    // out again whether its child is still wanted only when something has changed.
    std::atomic<uint64_t> Epoch{1};
    // Advanced whenever a split point comes to have a child waiting for a thread where it had
    // none, and when one is listed: a waiting thread looks through the list again only then.
    // Read by every waiting thread as it spins, so it has a line of its own. Never 0.
    alignas(CacheLineBytes) std::atomic<uint64_t> Offers{1};
    alignas(CacheLineBytes) std::atomic<int> Idle{0};  // threads waiting for something to help with
    // Nodes searched on speculation and thrown away.
    alignas(CacheLineBytes) std::atomic<uint64_t> Thrown{0};
    // Whether the threads keep the lines they search and take them again: from
    // KeepLinesFromThreads threads on (search/searched_lines.h). The team's lines, and the nodes
    // taken from them.
    const bool KeepsLines;
    SearchedLines& Lines;
    alignas(CacheLineBytes) std::atomic<uint64_t> Reused{0};
    alignas(CacheLineBytes) std::atomic<int> OpenSplits{0};  // split points in the list below
    // Guards the list of open split points; never held together with a split point's lock.
    SpinLock ListLock;
    SplitPoint* Splits = nullptr;  // open split points, newest first
};

// Whether a child's search must stop: the time is up (found by any thread), or the child is no
// longer wanted (a cut-off, a narrower width or a new alpha at its split point or at one above).
// None of these ever reverts, so a child found unwanted stays unwanted.
bool Unwanted(const SpeculativeChild& child);

// The thread searching `child` found that the child's node searched its first child without a
// cut-off: see NoteUnresolved.
void MarkUnresolved(const SpeculativeChild& child, ParallelSearch& shared);

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

// The node limit first: reached on the main line, it ends the search; inside a split child, it
// stops that child, whose nodes then stop its split point if the commit order gets there. Either
// way every later test of the thread in the same place finds it again: the count never goes back.
inline bool ShouldStop(WorkerState& worker) {
    if (VirtualProcessors* simulation = worker.Shared->Simulation) [[unlikely]]
        simulation->StopTest(worker);
    if (worker.NodeCount >= worker.StopNodeCount) return true;
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

// Whether a simulation records its foresight, or shares its work by it.
inline bool RecordsForesight(const WorkerState& worker) {
    return worker.Shared->RecordingSight;
}
inline bool HasForesight(const WorkerState& worker) {
    return worker.Shared->Sight && !worker.Shared->RecordingSight;
}

// A node shares its children only while some thread waits for work (with more threads than
// cores, while one of them may take it: IdleToShare).
inline bool MaySplit(const WorkerState& worker) {
    return worker.Shared->Idle.load(std::memory_order_relaxed) >= worker.Shared->IdleToShare;
}

// Whether a node whose first child moved its window shares its children from `position` on,
// given the window (`alpha`, `beta`) it was entered with. With foresight, from any position.
inline bool SharesAfterMovedWindow(const WorkerState& worker, int position, Score alpha,
                                   Score beta) {
    if (position >= MovedWindowSplitFrom || HasForesight(worker)) return true;
    return position >= FirstLineSplitFrom && worker.Shared->KeepsLines && alpha == -InfiniteScore &&
           beta == InfiniteScore;
}

}  // namespace TARN_PATH_NAMESPACE

// The node or the root whose later children a split point shares. It searches one of them for
// whichever thread took it, with the window `alpha` gives, on that thread's model, which is the
// split point's copy; the child's stone goes on and comes off that model's board. It lives on its
// owner's stack as long as the split point, and nothing in it changes meanwhile.
class SplitFrame {
public:
    virtual Score SearchChild(WorkerState& worker, int position, Score alpha) const = 0;

protected:
    ~SplitFrame() = default;
};

// A node or the root whose later children the threads share, on the stack of its owner (the
// thread that searched its first child), which does not leave it while another thread works there.
struct SplitPoint {
    enum class Kind : uint8_t { Node, Root };
    // Free: waits for a thread (or was never handed out: positions from Started on). Running: a
    // thread searches it with the window of Alpha. Done: searched to the end with that window,
    // not yet committed. A Running or Done child whose window has changed goes back to Free.
    enum class ChildState : uint8_t { Free, Running, Done };
    struct Child {
        ChildState State;
        bool Unresolved;  // Running, and its node searched its first child without a cut-off
        Score Alpha;      // of the window it was searched with
        Score Value;
        uint64_t Nodes;
        WindowRange Range;  // Done: the windows its search would not change under
    };

    // Set by the owner before any other thread can see the split point.
    Kind Of = Kind::Node;
    int Depth = 0;
    int Count = 0;  // children at positions 0 to Count - 1 (the earliest are searched already)
    const SplitFrame* Frame = nullptr;
    const SpeculativeChild* Parent = nullptr;  // the split child the owner was searching, if any
    bool Again = false;                        // made within a child searched again
    uint64_t Key = 0;                          // the node's (NodeKey), or the root's
    Score OwnAlpha = 0;                        // a node's alpha as it was entered
    ModelState Model;                          // the owner's model at the node
    // The owner's node limit and its lower bound of the one-thread count of the iteration when
    // it opened the split point: the exact count when Parent is null.
    uint64_t NodeLimit = NoNodeLimit;
    uint64_t NodesBefore = 0;

    // The rest is guarded by Lock. Alpha, Limit and Stopped are also read without it.
    SpinLock Lock;
    ChildBounds Bounds{};
    WindowRange Range{};          // a node's range, narrowed by every child committed
    std::atomic<Score> Alpha{0};  // only ever rises
    std::atomic<int> Limit{0};    // the positions below it are wanted: the width, or Count; only
                                  // ever shrinks
    std::atomic<bool> Stopped{false};   // set once
    std::atomic<bool> Finished{false};  // stopped, or every wanted child committed; set once
    // How far past the next child to commit the earliest child waiting for a thread lies; -1
    // when none waits (or the ones that wait are held back).
    std::atomic<int> FreeAhead{-1};
    std::atomic<int> CommittedUpTo{0};  // NextCommit, for threads choosing where to help
    bool Aborted = false;  // stopped for the time, for a cancellation above or at the node limit
    // Stopped where the one-thread search reaches the node limit, within child NextCommit; its
    // nodes (LimitNodes) go to the owner's count with the committed ones, which takes the owner's
    // count to its own StopNodeCount.
    bool AtNodeLimit = false;
    uint64_t LimitNodes = 0;
    Score StopValue = 0;
    int NextCommit = 0;  // the next position to commit, in the one-thread order
    int Started = 0;     // positions from here on have never been handed out
    uint64_t Committed = 0;
    // Threads other than the owner working here (or about to); the owner waits for none to be
    // left before the split point ends.
    std::atomic<int> Helpers{0};
    SplitPoint *Newer = nullptr, *Older = nullptr;  // the list, guarded by ListLock
    // With foresight, what the one-thread search did here: the children are then handed out as
    // it searched them, each once the window it gets is the one-thread one.
    const Foresight::Node* Foreseen = nullptr;
    Child Children[CellCount];
};

inline namespace TARN_PATH_NAMESPACE {
// Called by a node at remaining depth `depth` that searched its first child without a cut-off.
// When the node is a child of a split point of remaining depth HoldBackFromDepth or more, that
// child will be searched to the end and may well move its split point's window: the split point
// then holds back the children after it, and the idle threads help inside it instead.
inline void NoteUnresolved(WorkerState& worker, int depth) {
    if (depth + 1 >= HoldBackFromDepth && worker.Child && worker.Child->Split->Depth == depth + 1)
        MarkUnresolved(*worker.Child, *worker.Shared);
}

}  // namespace TARN_PATH_NAMESPACE

// How a node's split ended: aborted (the node returns at once, as on a time-out), stopped by a
// child's value, or with every wanted child committed. `bounds` holds the node's final best.
struct SplitEnd {
    bool Aborted = false;
    bool Stopped = false;
    Score Value = 0;
};

// Shares the children of a node at remaining depth `depth`, positions `from` to `count` - 1, with
// the idle threads, the window and width being `bounds`, and returns when they are all committed
// or no longer wanted; `bounds` and `range` then hold the node's own after them. `ownAlpha` is the
// alpha the node was entered with.
SplitEnd SplitNode(WorkerState& owner, const SplitFrame& frame, int count, ChildBounds& bounds,
                   WindowRange& range, Score ownAlpha, int from, int depth, uint64_t key);

// Runs a split point whose owner has filled in its fixed part: its children from position `from`
// on are searched by whichever threads take them, starting from the window and width `bounds`
// (at the root, alpha is the best score so far), and committed in order until the split point
// stops, is aborted or has committed every wanted child.
void RunSplit(WorkerState& owner, SplitPoint& split, int from, const ChildBounds& bounds);

// The work of a helper thread for the whole of one search: it helps wherever help is wanted.
void HelpSearch(ParallelSearch& search);

}  // namespace tarn
