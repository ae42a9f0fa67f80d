#include "search/parallel.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace tarn {

namespace {

using Kind = SplitPoint::Kind;
using ChildState = SplitPoint::ChildState;

// A thread waiting at its own split point helps below it at most this many split points deep,
// which bounds its stack: each level adds at most one line of the search.
constexpr int MaxHelpNesting = 3;

// Waits a little before a waiting thread looks for work again. Work usually turns up within
// microseconds, so the thread spins at first, which keeps its core; a long wait yields the core.
// With more threads than cores, the waiting thread sleeps instead: a thread that only yields
// still takes its turns on a core, and the one that has to notice a time-out could wait behind
// it for a whole time slice of the system's scheduler. With a core each, sleeping would only
// hand work over later.
//
// A waiting thread looks through the list of split points again only once a child has been
// offered since its last look found nothing (ParallelSearch::Offers): spinning, it reads one
// cache line that changes now and then, instead of taking the list's lock and reading the split
// points that their owners write. With many threads waiting, their looks could otherwise keep the
// lock taken much of the time, and the owners that open and close split points would queue
// behind them. Each waiting loop keeps its own mark, as each looks in its own part of the list.
class Backoff {
public:
    explicit Backoff(const ParallelSearch& search)
        : shared(search), simulation(search.Simulation), sleeps(search.MoreThreadsThanCores()) {}

    // Whether a child may have turned up since the last look that found nothing. No offer goes
    // unseen: the mark is read (acquire) before the look, so if it counts an offer already, the
    // look finds that offer's child (or a thread took it); if not, the offer moves Offers past the
    // mark, and the next test lets the thread look again.
    bool WorthALook() {
        const uint64_t offers = shared.Offers.load(std::memory_order_acquire);
        if (offers == seenOffers) return false;
        seenOffers = offers;
        return true;
    }

    void Pause() {
        if (simulation) {
            simulation->Wait();
        } else if (rounds < SpinRounds) {
            ++rounds;
            for (int i = 0; i < PausesPerRound; ++i) CpuRelax();
        } else if (sleeps) {
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        } else {
            std::this_thread::yield();
        }
    }
    // After the thread has worked: the next look goes ahead whatever was offered meanwhile.
    void Reset() {
        rounds = 0;
        seenOffers = 0;
    }
    // With more threads than cores: a thread that may not search now waits for a core to free.
    static void WaitForCore() { std::this_thread::sleep_for(std::chrono::microseconds(200)); }

private:
    // A round of the spin is a few pauses (about 100 ns on this project's machine), after which
    // the thread tests again: it notices an offer that much later. Now that a test reads only a
    // line or two that rarely change, the rounds can be short; on many processors each hand-over
    // waits for one (bench/RESULTS.md). The spin goes on for some 8 000 pauses (0.2 ms there)
    // before the thread gives its core up.
    static constexpr int PausesPerRound = 4;
    static constexpr int SpinRounds = 8192 / PausesPerRound;
    int rounds = 0;
    uint64_t seenOffers = 0;  // Offers as read at the last look; 0 (never Offers): look at once
    const ParallelSearch& shared;
    VirtualProcessors* simulation;
    bool sleeps;
};

// Where threads meet, a simulation lets the threads behind this one in virtual time catch up
// first, and charges what the meeting costs.
void Meet(WorkerState& worker, Overhead overhead) {
    if (VirtualProcessors* simulation = worker.Shared->Simulation) [[unlikely]]
        simulation->Meet(worker, overhead);
}

// The positions below this are wanted: the width of a node, every move at the root.
int WantedLimit(const SplitPoint& split) {
    if (split.Of == Kind::Root) return split.Count;
    return split.Bounds.Width < split.Count ? split.Bounds.Width : split.Count;
}

// Books the value of the next child in the one-thread order; true when the split stops with it.
// The root has neither a width nor a cut-off: each move is searched with the window of the best
// score so far, its alpha.
bool Book(SplitPoint& split, Score value) {
    if (split.Of == Kind::Root) {
        if (value > split.Bounds.Alpha) split.Bounds.Alpha = value;
        return false;
    }
    return BookChild(split.Bounds, value, split.Count);
}

// The rest of these run under the split point's lock.

// The one-thread test after a child: whether the count reaches the node limit by the child's end,
// counted from the split point's lower bound (the exact count on the main line). Never without a
// limit: no count comes near NoNodeLimit.
bool ReachesNodeLimit(const SplitPoint& split, uint64_t childNodes) {
    return split.NodesBefore + split.Committed + childNodes >= split.NodeLimit;
}

// The earliest wanted child that waits for a thread, -1 when there is none. A child searched to
// its end beside an unresolved one before it would more often than not be searched again, so the
// children after an unresolved child wait until it is done.
int NextFree(const SplitPoint& split) {
    if (split.Finished.load(std::memory_order_relaxed)) return -1;
    const int limit = WantedLimit(split);
    // Foresight hands out the children the one-thread search searched, each only once every
    // earlier child that moves the window is committed. Should the split point go on past them
    // (foresight of a different search), it goes on as without.
    if (const Foresight::Node* seen = split.Foreseen; seen && split.NextCommit <= seen->Last) {
        for (int p = split.NextCommit; p < limit && p <= seen->Last; ++p) {
            if (p >= split.Started || split.Children[p].State == ChildState::Free) return p;
            if (seen->MovesWindow(p)) return -1;
        }
        return -1;
    }
    for (int p = split.NextCommit; p < limit; ++p) {
        if (p >= split.Started) return p;
        const SplitPoint::Child& child = split.Children[p];
        if (child.State == ChildState::Free) return p;
        if (child.State == ChildState::Running && child.Unresolved) return -1;
    }
    return -1;
}

// A split point that had no child waiting for a thread and now has one offers it: the waiting
// threads look again (Backoff::WorthALook).
void UpdateFreeAhead(SplitPoint& split, ParallelSearch& shared) {
    const int next = NextFree(split);
    const bool offers = next >= 0 && split.FreeAhead.load(std::memory_order_relaxed) < 0;
    split.FreeAhead.store(next < 0 ? -1 : next - split.NextCommit, std::memory_order_relaxed);
    if (offers) shared.Offers.fetch_add(1, std::memory_order_release);
    split.CommittedUpTo.store(split.NextCommit, std::memory_order_relaxed);
}

// Hands out the earliest wanted child that waits for a thread, to be searched with the present
// alpha; -1 when there is none.
int TakeChild(SplitPoint& split, ParallelSearch& shared, bool& again) {
    const int p = NextFree(split);
    if (p < 0) return -1;
    again = p < split.Started;
    if (!again) ++split.Started;
    split.Children[p] = {ChildState::Running, false, split.Bounds.Alpha, 0, 0, {}};
    UpdateFreeAhead(split, shared);
    return p;
}

// Commits the finished children in order, as far as they go, and publishes what changed: the
// stop test of the threads below reads alpha, the width and the stop without the lock. A new
// alpha makes the results of later children searched with the old one worthless.
void CommitInOrder(SplitPoint& split, ParallelSearch& shared) {
    if (split.Finished.load(std::memory_order_relaxed)) return;
    const Score alphaBefore = split.Bounds.Alpha;
    const int limitBefore = WantedLimit(split);
    bool stopped = false;
    int limit = limitBefore;
    while (split.NextCommit < limit && split.NextCommit < split.Started &&
           !shared.TimedOut.load(std::memory_order_acquire)) {
        SplitPoint::Child& child = split.Children[split.NextCommit];
        if (child.State != ChildState::Done) break;
        // The one-thread search stops within this child, or at its test right after it: the split
        // point stops here as on a time-out, without the child's value.
        if (ReachesNodeLimit(split, child.Nodes)) {
            split.AtNodeLimit = split.Aborted = stopped = true;
            split.LimitNodes = child.Nodes;
            break;
        }
        const Score alpha = split.Bounds.Alpha;
        ++split.NextCommit;
        split.Committed += child.Nodes;
        if (split.Of == Kind::Node)
            NarrowRange(split.Range, child.Range, child.Value, split.OwnAlpha, split.Bounds.Beta,
                        alpha == split.OwnAlpha, true);
        if (Book(split, child.Value)) {
            split.StopValue = child.Value;
            stopped = true;
            break;
        }
        if (split.Bounds.Alpha != alpha) {
            for (int p = split.NextCommit; p < split.Started; ++p) {
                SplitPoint::Child& later = split.Children[p];
                if (later.State != ChildState::Done) continue;
                later.State = ChildState::Free;
                shared.Thrown.fetch_add(later.Nodes, std::memory_order_relaxed);
            }
        }
        limit = WantedLimit(split);
    }
    if (stopped || split.NextCommit >= limit) split.Finished.store(true, std::memory_order_release);
    if (stopped || limit != limitBefore || split.Bounds.Alpha != alphaBefore) {
        split.Alpha.store(split.Bounds.Alpha, std::memory_order_relaxed);
        split.Limit.store(limit, std::memory_order_relaxed);
        if (stopped) split.Stopped.store(true, std::memory_order_relaxed);
        shared.Epoch.fetch_add(1, std::memory_order_release);
    }
    UpdateFreeAhead(split, shared);
}

// Takes back the result of a child: kept if it was searched to the end, or to the node limit, with
// the window the child has now; thrown away (the child free to be searched again, if still wanted)
// otherwise. A child stopped at the node limit has no value, but the nodes it searched take the
// one-thread test of its commit to the limit, so its value is never booked.
void Complete(SplitPoint& split, ParallelSearch& shared, int position, Score alpha, Score value,
              uint64_t nodes, const WindowRange& range, bool whole) {
    SplitPoint::Child& child = split.Children[position];
    if (whole && !split.Stopped.load(std::memory_order_relaxed) && position < WantedLimit(split) &&
        alpha == split.Bounds.Alpha) {
        child = {ChildState::Done, false, alpha, value, nodes, range};
    } else {
        child.State = ChildState::Free;
        shared.Thrown.fetch_add(nodes, std::memory_order_relaxed);
    }
    CommitInOrder(split, shared);
}

// Whether the whole split point has become worthless: the time is up, or the child of another
// split point within which it was made is no longer wanted. Its owner then abandons it.
bool Abandoned(const SplitPoint& split, const ParallelSearch& shared) {
    return shared.TimedOut.load(std::memory_order_acquire) ||
           (split.Parent && Unwanted(*split.Parent));
}

// Searches children of the split point one after another while any is free, and returns when
// none is, or after a child that stopped before its end (its split point may be abandoned, or
// stop there at the node limit). Each child's nodes are counted apart from the thread's own and
// handed to the split point, which adds the committed ones to its owner's count.
void WorkAt(WorkerState& worker, SplitPoint& split) {
    ParallelSearch& shared = *worker.Shared;
    while (!Abandoned(split, shared)) {
        int position;
        Score alpha;
        uint64_t nodesBefore;  // a lower bound of the one-thread count at the child
        bool again;
        Meet(worker, worker.ModelOf == &split ? Overhead::TakeChild : Overhead::CopyModel);
        {
            std::lock_guard<SpinLock> lock(split.Lock);
            position = TakeChild(split, shared, again);
            if (position < 0) return;
            alpha = split.Bounds.Alpha;
            nodesBefore = split.NodesBefore + split.Committed;
        }
        const SpeculativeChild child{&split, position, alpha, again || split.Again};
        const uint64_t before = worker.NodeCount, outerStop = worker.StopNodeCount;
        worker.NodeLimit = split.NodeLimit;
        // A child that the one-thread search reaches only beyond the limit is not searched: handed
        // back without nodes, it stops the split point if the commit order gets there.
        bool limitReached = nodesBefore >= split.NodeLimit, whole = true;
        Score value = 0;
        if (!limitReached) {
            if (worker.ModelOf != &split) {
                worker.Model = split.Model;
                worker.ModelOf = &split;
            }
            const SpeculativeChild* outer = worker.Child;
            worker.Child = &child;
            worker.SeenEpoch = 0;
            // Counted from the lower bound, the child's nodes reach the limit at this count.
            if (split.NodeLimit != NoNodeLimit)
                worker.StopNodeCount = before + (split.NodeLimit - nodesBefore);
            value = split.Frame->SearchChild(worker, position, alpha);
            limitReached = worker.NodeCount >= worker.StopNodeCount;
            // A search that ran to its end put the model back; one that stopped early did not.
            // Like the one-thread search after each child, this tests the clock before the value
            // is used.
            whole = !TimeIsUp(worker) && !Unwanted(child);
            worker.Child = outer;
            worker.SeenEpoch = 0;
            worker.ModelOf = whole && !limitReached ? &split : nullptr;
        }
        const uint64_t nodes = worker.NodeCount - before;
        SetNodeCount(worker, before);
        worker.StopNodeCount = outerStop;
        Meet(worker, Overhead::CommitChild);
        std::lock_guard<SpinLock> lock(split.Lock);
        Complete(split, shared, position, alpha, value, nodes, worker.Range, whole);
        if (!whole || limitReached) return;
    }
}

// Whether `split` lies under `ancestor`: its owner made it while searching a child of `ancestor`,
// or of a split point that lies under it. Every split point on the way is open: each waits for
// the children searched from it, and so for the split points made below them.
bool LiesBelow(const SplitPoint& split, const SplitPoint& ancestor) {
    for (const SpeculativeChild* c = split.Parent; c; c = c->Split->Parent)
        if (c->Split == &ancestor) return true;
    return false;
}

// How speculative the next free child of a split point is: how many children that may still
// change its window or make it needless come before it in the one-thread order, at its split
// point and at every split point above. A child right after the one being committed, within a
// child that is itself next in line, is almost sure to be wanted.
int Speculation(const SplitPoint& split, int freeAhead) {
    int children = freeAhead;
    for (const SpeculativeChild* c = split.Parent; c; c = c->Split->Parent)
        children += c->Position - c->Split->CommittedUpTo.load(std::memory_order_relaxed);
    return children;
}

// An open split point with a child waiting for a thread (under `below` if given): the least
// speculative child, and of equal ones the one with the largest remaining depth, the most work
// for one hand-over. The caller is counted as a helper there before the list is unlocked, so that
// the split point stays open.
SplitPoint* FindWork(ParallelSearch& shared, const SplitPoint* below) {
    if (shared.OpenSplits.load(std::memory_order_relaxed) == 0) return nullptr;
    std::lock_guard<SpinLock> lock(shared.ListLock);
    SplitPoint* found = nullptr;
    int foundSpeculation = 0;
    for (SplitPoint* split = shared.Splits; split; split = split->Older) {
        const int ahead = split->FreeAhead.load(std::memory_order_relaxed);
        if (ahead < 0 || (below && !LiesBelow(*split, *below))) continue;
        const int speculation = Speculation(*split, ahead);
        if (!found || speculation < foundSpeculation ||
            (speculation == foundSpeculation && split->Depth > found->Depth)) {
            found = split;
            foundSpeculation = speculation;
        }
    }
    if (found) found->Helpers.fetch_add(1, std::memory_order_relaxed);
    return found;
}

// An idle thread (counted in Idle) helps at a split point, under `below` if given; false when
// nothing is to be done.
bool HelpSomewhere(WorkerState& worker, const SplitPoint* below) {
    if (worker.HelpNesting >= MaxHelpNesting) return false;
    ParallelSearch& shared = *worker.Shared;
    Meet(worker, Overhead::FindWork);
    SplitPoint* split = FindWork(shared, below);
    if (!split) return false;
    Meet(worker, Overhead::JoinSplit);
    shared.Idle.fetch_sub(1, std::memory_order_relaxed);
    ++worker.HelpNesting;
    WorkAt(worker, *split);
    --worker.HelpNesting;
    worker.ModelOf = nullptr;
    split->Helpers.fetch_sub(1, std::memory_order_release);
    shared.Idle.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void Open(ParallelSearch& shared, SplitPoint& split) {
    std::lock_guard<SpinLock> lock(shared.ListLock);
    split.Older = shared.Splits;
    if (split.Older) split.Older->Newer = &split;
    shared.Splits = &split;
    shared.OpenSplits.fetch_add(1, std::memory_order_relaxed);
    // Listed, its free children can be found: an offer, though its FreeAhead was set before.
    shared.Offers.fetch_add(1, std::memory_order_release);
}

void Close(ParallelSearch& shared, SplitPoint& split) {
    std::lock_guard<SpinLock> lock(shared.ListLock);
    if (split.Newer)
        split.Newer->Older = split.Older;
    else
        shared.Splits = split.Older;
    if (split.Older) split.Older->Newer = split.Newer;
    shared.OpenSplits.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace

void MarkUnresolved(const SpeculativeChild& child, ParallelSearch& shared) {
    SplitPoint& split = *child.Split;
    std::lock_guard<SpinLock> lock(split.Lock);
    SplitPoint::Child& slot = split.Children[child.Position];
    // A search that is no longer wanted may still run up to its next stop test while the child
    // is searched again: the window tells the two apart, as a split point's alpha only rises.
    if (slot.State != ChildState::Running || slot.Alpha != child.Alpha) return;
    slot.Unresolved = true;
    UpdateFreeAhead(split, shared);
}

bool Unwanted(const SpeculativeChild& child) {
    for (const SpeculativeChild* c = &child; c; c = c->Split->Parent) {
        const SplitPoint& split = *c->Split;
        if (split.Stopped.load(std::memory_order_relaxed) ||
            c->Position >= split.Limit.load(std::memory_order_relaxed) ||
            c->Alpha != split.Alpha.load(std::memory_order_relaxed))
            return true;
    }
    return false;
}

void RunSplit(WorkerState& owner, SplitPoint& split, int from, const ChildBounds& bounds) {
    ParallelSearch& shared = *owner.Shared;
    split.Parent = owner.Child;
    split.Again = owner.Child && owner.Child->Again;
    split.Model = owner.Model;
    if (HasForesight(owner)) split.Foreseen = shared.Sight->Find(split.Key);
    // The owner's count and its StopNodeCount differ by what its node limit and its lower bound
    // of the one-thread count differ by (in unsigned arithmetic, which wraps back): 0 on the main
    // line, and inside a split child what the owner's count started from less that child's lower
    // bound. Without a limit the bound is just the owner's count, never near NoNodeLimit.
    split.NodeLimit = owner.NodeLimit;
    split.NodesBefore = owner.NodeCount + (owner.NodeLimit - owner.StopNodeCount);
    split.Bounds = bounds;
    split.NextCommit = split.Started = from;
    const int limit = WantedLimit(split);
    split.Alpha.store(bounds.Alpha, std::memory_order_relaxed);
    split.Limit.store(limit, std::memory_order_relaxed);
    split.Finished.store(from >= limit, std::memory_order_relaxed);
    UpdateFreeAhead(split, shared);
    Meet(owner, Overhead::OpenSplit);
    Open(shared, split);
    owner.ModelOf = &split;

    // The owner searches children like any helper; when all wanted ones are taken, it helps
    // below until the last results are in.
    bool idle = false;
    Backoff backoff(shared);
    // Counted idle, helps below this split point, or waits a little when there is nothing to do.
    auto helpBelow = [&] {
        if (!idle) shared.Idle.fetch_add(1, std::memory_order_relaxed);
        idle = true;
        if (backoff.WorthALook() && HelpSomewhere(owner, &split))
            backoff.Reset();
        else
            backoff.Pause();
    };
    for (;;) {
        if (split.Finished.load(std::memory_order_acquire)) break;
        if (Abandoned(split, shared)) {
            std::lock_guard<SpinLock> lock(split.Lock);
            split.Aborted = true;
            split.Stopped.store(true, std::memory_order_relaxed);
            split.Finished.store(true, std::memory_order_relaxed);
            split.FreeAhead.store(-1, std::memory_order_relaxed);
            shared.Epoch.fetch_add(1, std::memory_order_release);
            break;
        }
        if (split.FreeAhead.load(std::memory_order_relaxed) >= 0) {
            if (idle) shared.Idle.fetch_sub(1, std::memory_order_relaxed);
            idle = false;
            WorkAt(owner, split);
            backoff.Reset();
            continue;
        }
        helpBelow();
    }
    Meet(owner, Overhead::CloseSplit);
    Close(shared, split);
    // Children still searched here are no longer wanted and stop at their next stop test.
    while (split.Helpers.load(std::memory_order_acquire) > 0) helpBelow();
    if (idle) shared.Idle.fetch_sub(1, std::memory_order_relaxed);

    std::lock_guard<SpinLock> lock(split.Lock);
    if (owner.ModelOf != &split) owner.Model = split.Model;
    owner.ModelOf = nullptr;
    for (int p = split.NextCommit + (split.AtNodeLimit ? 1 : 0); p < split.Started; ++p)
        if (split.Children[p].State == ChildState::Done)
            shared.Thrown.fetch_add(split.Children[p].Nodes, std::memory_order_relaxed);
    SetNodeCount(owner, owner.NodeCount + split.Committed + split.LimitNodes);
}

[[gnu::noinline]] SplitEnd SplitNode(WorkerState& owner, const SplitFrame& frame, int count,
                                     ChildBounds& bounds, WindowRange& range, Score ownAlpha,
                                     int from, int depth, uint64_t key) {
    SplitPoint split;
    split.Key = key;
    split.OwnAlpha = ownAlpha;
    split.Range = range;
    split.Of = Kind::Node;
    split.Depth = depth;
    split.Count = count;
    split.Frame = &frame;
    RunSplit(owner, split, from, bounds);
    bounds = split.Bounds;
    range = split.Range;
    return {split.Aborted, !split.Aborted && split.Stopped.load(std::memory_order_relaxed),
            split.StopValue};
}

namespace {

// IdleToShare for the team: the threads beyond the processors they may run on, plus one. Without
// a count of processors (or with simulated ones) every thread may search.
int IdleToShareFor(HelperTeam& team) {
    const int cores = team.Simulation() ? 0 : UsableProcessors();
    const int threads = team.Helpers() + 1;
    return cores > 0 && threads > cores ? threads - cores + 1 : 1;
}

}  // namespace

ParallelSearch::ParallelSearch(HelperTeam& team, const TimeBudget& budget)
    : Team(team),
      Simulation(team.Simulation()),
      Sight(Simulation ? Simulation->Foreseen() : nullptr),
      RecordingSight(Sight && Sight->Recording()),
      Budget(budget),
      IdleToShare(IdleToShareFor(team)),
      // Shared by foresight, the search throws nothing away and has no line to search again.
      KeepsLines(team.Lines.Made() && !Sight),
      Lines(team.Lines) {
    Lines.NewSearch();
    Team.Begin(*this);
}

ParallelSearch::~ParallelSearch() {
    Team.End();
}

void HelpSearch(ParallelSearch& shared) {
    WorkerState worker;
    worker.Shared = &shared;
    worker.Budget = shared.Budget;
    shared.Idle.fetch_add(1, std::memory_order_relaxed);
    Backoff backoff(shared);
    while (shared.Searching.load(std::memory_order_acquire)) {
        // Idle counts this thread too: it joins while the others that search leave a core, and
        // otherwise waits for one without spinning.
        if (shared.Idle.load(std::memory_order_relaxed) < shared.IdleToShare)
            backoff.WaitForCore();
        else if (backoff.WorthALook() && HelpSomewhere(worker, nullptr))
            backoff.Reset();
        else
            backoff.Pause();
    }
    shared.Idle.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace tarn
