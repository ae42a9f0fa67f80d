#include "search/foresight.h"

#include <algorithm>

#include "search/virtual_processors.h"

namespace tarn {

bool Foresight::Node::MovesWindow(int position) const {
    const int kept = std::min<int>(Moves, MaxMoves);
    for (int i = 0; i < kept; ++i)
        if (Moved[i] == position) return true;
    return Moves > MaxMoves && position > Moved[MaxMoves - 1];
}

Foresight::Foresight(int capacityLog2)
    : nodes(size_t{1} << capacityLog2), mask((uint64_t{1} << capacityLog2) - 1) {}

void Foresight::Record(std::span<const Stone, CellCount> board, SearchLimits limits) {
    std::fill(nodes.begin(), nodes.end(), Node{});
    overflowed = false;
    // One virtual processor searches in the one-thread order, through the parallel search's
    // nodes, which keep the lines.
    VirtualProcessors one(1);
    one.Foresee(this);
    limits.Threads = &one;
    recording = true;
    RootSearch(board, limits);
    recording = false;
}

namespace {
// Keys are stored with their lowest bit set, so that no key is 0, the mark of a free slot.
uint64_t Stored(uint64_t key) {
    return key | 1;
}
}  // namespace

// The slot of `key`, or the free slot where it goes; the table's size when it is full. Open
// addressing, looking on linearly: nodes are only ever added, until the next Record.
size_t Foresight::IndexOf(uint64_t key) const {
    for (uint64_t i = key & mask, tried = 0; tried <= mask; i = (i + 1) & mask, ++tried)
        if (nodes[i].Key == key || nodes[i].Key == 0) return i;
    return nodes.size();
}

void Foresight::Note(uint64_t key, int position, bool movedWindow) {
    key = Stored(key);
    const size_t index = IndexOf(key);
    if (index == nodes.size()) {
        overflowed = true;
        return;
    }
    Node& node = nodes[index];
    node.Key = key;
    node.Last = static_cast<int16_t>(position);
    if (!movedWindow || node.Moves > Node::MaxMoves) return;
    if (node.Moves < Node::MaxMoves) node.Moved[node.Moves] = static_cast<int16_t>(position);
    ++node.Moves;
}

const Foresight::Node* Foresight::Find(uint64_t key) const {
    key = Stored(key);
    const size_t index = IndexOf(key);
    return index < nodes.size() && nodes[index].Key == key ? &nodes[index] : nullptr;
}

}  // namespace tarn
