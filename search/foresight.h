// What the one-thread search did at each node whose later children threads may share: how far
// its child loop went and which of those children moved the node's window. Given to a simulation
// (VirtualProcessors::Foresee), it lets the threads hand out exactly the children the one-thread
// search searches, each only once every earlier child that moves the window is committed, so
// nothing is searched on a window that changes and nothing is thrown away. No real search can
// know this beforehand; the simulation measures with it how fast this very tree could be searched
// if every guess of which windows move were right, the ceiling of any way of sharing the work.
//
// A node is known by its line (the cells played from the root, in order, hashed) and its window:
// the one-thread search visits each line once in an iteration, and the parallel search visits
// only the lines of the one-thread tree when it hands out nothing but committed work.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "game/path_namespace.h"
#include "game/types.h"
#include "search/root.h"

namespace tarn {

// Inline, and compiled with each search path (game/path_namespace.h).
inline namespace TARN_PATH_NAMESPACE {

// The line of a node's child: the node's line and the cell played.
constexpr uint64_t ExtendLine(uint64_t line, uint64_t value) {
    uint64_t z = line ^ (value + 0x9e3779b97f4a7c15ULL + (line << 6) + (line >> 2));
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// The line of iteration `iteration`'s root, from which its moves' lines grow.
constexpr uint64_t RootLine(int iteration) {
    return ExtendLine(0, static_cast<uint64_t>(iteration));
}

// The key of iteration `iteration`'s root, whose window is the best score so far.
constexpr uint64_t RootKey(int iteration) {
    return ExtendLine(RootLine(iteration), CellCount);
}

// A node's key: its line and the window it was searched with.
constexpr uint64_t NodeKey(uint64_t line, Score alpha, Score beta) {
    return ExtendLine(ExtendLine(line, static_cast<uint16_t>(alpha)), static_cast<uint16_t>(beta));
}

}  // namespace TARN_PATH_NAMESPACE

class Foresight {
public:
    // The later children of one node (or of the root) as the one-thread search searched them.
    struct Node {
        static constexpr int MaxMoves = 6;
        uint64_t Key = 0;   // 0: a free slot
        int16_t Last = -1;  // the position of the last child searched
        // The children that moved the window, in order; one more than MaxMoves when more did,
        // and then every child after the last one kept counts as moving it too.
        uint8_t Moves = 0;
        int16_t Moved[MaxMoves] = {};
        bool MovesWindow(int position) const;
    };

    // A table of 2^capacityLog2 nodes, allocated once.
    explicit Foresight(int capacityLog2 = 20);

    // Runs the one-thread search of `board` under `limits` (its team aside) and keeps what it did
    // at every node that may share its children, in place of what was kept before.
    void Record(std::span<const Stone, CellCount> board, SearchLimits limits);

    // Whether the search now running is the one being recorded.
    bool Recording() const { return recording; }
    // Recording: child `position` of the node `key` was searched, and moved its window or not.
    void Note(uint64_t key, int position, bool movedWindow);
    // What the one-thread search did at node `key`, or null if it never shared there.
    const Node* Find(uint64_t key) const;
    // Whether some node did not fit the table: the nodes that did not are searched as without
    // foresight, and the figures are not the ceiling.
    bool Overflowed() const { return overflowed; }

private:
    size_t IndexOf(uint64_t key) const;
    std::vector<Node> nodes;
    uint64_t mask;
    bool recording = false;
    bool overflowed = false;
};

}  // namespace tarn
