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
// played from the root, and by the search that kept it. A slot holds one line, the last kept;
// lines are looked up only where a split child is searched again, or within one
// (SpeculativeChild::Again).
//
// The slots take no lock. A keep stores the slot's four words one by one, and two threads may
// keep lines in one slot at once, or one read it while another writes it, so a read may see
// words of two keeps. The first word is the line mixed with the other three (the slot's check):
// a read whose words are not all of one keep finds a check that matches no line, and takes
// nothing, but for odds of 2^-64 per torn read. A lock would make the keeping thread wait for
// the slot's cache line, which the fetch at the node's entry has mostly lost again by the node's
// end; the stores go on without waiting (bench/RESULTS.md, "Parallel search").
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "game/types.h"
#include "search/search_state.h"

namespace tarn {

// The fewest threads with which a search keeps its lines to take them again. With fewer, working
// out the ranges costs the threads' nodes more than the lines taken save (bench/RESULTS.md).
inline constexpr int KeepLinesFromThreads = 4;

class SearchedLines {
public:
    // What a search of a line found.
    struct Entry {
        uint64_t Nodes = 0;
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
    bool Find(uint64_t line, Score alpha, Score beta, uint64_t room, Entry& found) const;

private:
    // An entry in four words, two slots to a cache line: the check (the line mixed with the
    // other three), the nodes, the search and the value, the range. All zero: no search's.
    struct alignas(32) Slot {
        std::atomic<uint64_t> Check{0};
        std::atomic<uint64_t> Nodes{0};
        std::atomic<uint64_t> SearchAndValue{0};
        std::atomic<uint64_t> Range{0};
    };
    static_assert(sizeof(Slot) == 32);
    static constexpr int SlotsLog2 = 17;  // 4 MiB
    static constexpr uint64_t SlotMask = (uint64_t{1} << SlotsLog2) - 1;
    std::unique_ptr<Slot[]> slots;
    uint32_t search = 0;
};

}  // namespace tarn
