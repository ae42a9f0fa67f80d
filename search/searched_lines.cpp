#include "search/searched_lines.h"

#include <mutex>

namespace tarn {

SearchedLines::SearchedLines(int threads)
    : slots(threads >= KeepLinesFromThreads ? new Slot[SlotMask + 1] : nullptr) {}

void SearchedLines::Prepare(uint64_t line) const {
    __builtin_prefetch(&slots[line & SlotMask], 1);
}

void SearchedLines::Keep(uint64_t line, Score value, uint64_t nodes, const WindowRange& range) {
    Slot& slot = slots[line & SlotMask];
    std::lock_guard<SpinLock> lock(slot.Lock);
    slot.Line = line;
    slot.Nodes = nodes;
    slot.Search = search;
    slot.Value = value;
    slot.Range = range;
}

bool SearchedLines::Find(uint64_t line, Score alpha, Score beta, uint64_t room, Entry& found) {
    Slot& slot = slots[line & SlotMask];
    {
        std::lock_guard<SpinLock> lock(slot.Lock);
        found = {slot.Line, slot.Nodes, slot.Search, slot.Value, slot.Range};
    }
    const WindowRange& range = found.Range;
    return found.Search == search && found.Line == line && found.Nodes < room &&
           alpha >= range.AlphaMin && alpha <= range.AlphaMax && beta >= range.BetaMin &&
           beta <= range.BetaMax;
}

}  // namespace tarn
