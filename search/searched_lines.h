// The lines the threads of a parallel search have searched, with their results, so that a line
// searched again takes its result at once wherever that search could not come out otherwise.
//
// A thread searches a child of a split point with the window the split point has when it starts.
// When the window moves before the child is committed, the child is searched again with the new
// one; a child stopped as no longer wanted may be searched again later too. Much of the second
// search repeats the first: a subtree whose comparisons all come out the same under the new
// window gives the same value from the same nodes. So the threads' nodes work out the windows
// their search would not change under (WindowRange, TrackingState: search/search_state.h), those
// that may share their children keep their line's value, node count and range here, and a later
// search of the line with a window in the range takes them instead of searching. Every value and
// node count stays the one-thread search's.
//
// A line is known by its hash (search/foresight.h), which holds the iteration and every cell
// played from the root, and by the search that kept it. A slot holds one line, the last kept,
// and a lock of its own, held to copy the slot and never together with another lock; lines are
// looked up only where a split child is searched again, or within one (SpeculativeChild::Again).
#pragma once

#include <cstdint>
#include <memory>

#include "game/types.h"
#include "search/search_state.h"
#include "search/spin_lock.h"

namespace tarn {

// The fewest threads with which a search keeps its lines to take them again. With fewer, working
// out the ranges costs the threads' nodes more than the lines taken save (bench/RESULTS.md).
inline constexpr int KeepLinesFromThreads = 5;

class SearchedLines {
public:
    struct Entry {
        uint64_t Line = 0;
        uint64_t Nodes = 0;
        uint32_t Search = 0;  // the search that kept it; 0: none
        Score Value = 0;
        WindowRange Range;
    };

    // The table of a team of `threads` threads: 4 MiB if their searches keep their lines, and
    // nothing otherwise.
    explicit SearchedLines(int threads);
    SearchedLines(const SearchedLines&) = delete;
    SearchedLines& operator=(const SearchedLines&) = delete;

    // Whether the searches on its team keep their lines here: whether the table was made.
    bool Made() const { return slots != nullptr; }

    // A new search begins, and what the earlier ones kept is found no more. Called while no
    // thread uses the table.
    void NewSearch() { ++search; }

    // Fetches the slot of `line` towards the cache, to keep the line there when its search ends.
    void Prepare(uint64_t line) const;

    // Keeps what a search of `line` found: its value, its nodes and its range.
    void Keep(uint64_t line, Score value, uint64_t nodes, const WindowRange& range);

    // Whether a search of `line` with the window (alpha, beta) is known to find what was kept,
    // in fewer than `room` nodes; `found` is then what was kept.
    bool Find(uint64_t line, Score alpha, Score beta, uint64_t room, Entry& found);

private:
    // An entry and its lock in 32 bytes, two to a cache line.
    struct alignas(32) Slot {
        uint64_t Line = 0;
        uint64_t Nodes = 0;
        uint32_t Search = 0;
        Score Value = 0;
        SpinLock Lock;
        WindowRange Range;
    };
    static_assert(sizeof(Slot) == 32);
    static constexpr int SlotsLog2 = 17;  // 4 MiB
    static constexpr uint64_t SlotMask = (uint64_t{1} << SlotsLog2) - 1;
    std::unique_ptr<Slot[]> slots;
    uint32_t search = 0;
};

}  // namespace tarn
