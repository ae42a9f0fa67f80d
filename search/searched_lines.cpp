#include "search/searched_lines.h"

#include "search/foresight.h"

namespace tarn {

namespace {

// What a slot's first word holds besides the line: the other three words mixed, so that words of
// two keeps mixed make a check that matches neither's line.
uint64_t CheckOf(uint64_t nodes, uint64_t searchAndValue, uint64_t range) {
    return ExtendLine(ExtendLine(nodes, searchAndValue), range);
}

// A range in one word, its four ends 16 bits each, and back.
uint64_t RangeWord(const WindowRange& range) {
    return uint64_t{static_cast<uint16_t>(range.AlphaMin)} |
           uint64_t{static_cast<uint16_t>(range.AlphaMax)} << 16 |
           uint64_t{static_cast<uint16_t>(range.BetaMin)} << 32 |
           uint64_t{static_cast<uint16_t>(range.BetaMax)} << 48;
}
WindowRange RangeOf(uint64_t word) {
    auto end = [word](int shift) {
        return static_cast<Score>(static_cast<uint16_t>(word >> shift));
    };
    return {end(0), end(16), end(32), end(48)};
}

}  // namespace

SearchedLines::SearchedLines(int threads)
    : slots(threads >= KeepLinesFromThreads ? new Slot[SlotMask + 1] : nullptr) {}

void SearchedLines::Prepare(uint64_t line) const {
    __builtin_prefetch(&slots[line & SlotMask], 1);
}

void SearchedLines::Keep(uint64_t line, Score value, uint64_t nodes, const WindowRange& range) {
    Slot& slot = slots[line & SlotMask];
    const uint64_t searchAndValue = search | uint64_t{static_cast<uint16_t>(value)} << 32;
    const uint64_t rangeWord = RangeWord(range);
    // Relaxed: nothing else is handed over with a slot, and its check tells a torn read.
    slot.Nodes.store(nodes, std::memory_order_relaxed);
    slot.SearchAndValue.store(searchAndValue, std::memory_order_relaxed);
    slot.Range.store(rangeWord, std::memory_order_relaxed);
    slot.Check.store(line ^ CheckOf(nodes, searchAndValue, rangeWord), std::memory_order_relaxed);
}

bool SearchedLines::Find(uint64_t line, Score alpha, Score beta, uint64_t room,
                         Entry& found) const {
    const Slot& slot = slots[line & SlotMask];
    const uint64_t check = slot.Check.load(std::memory_order_relaxed);
    const uint64_t nodes = slot.Nodes.load(std::memory_order_relaxed);
    const uint64_t searchAndValue = slot.SearchAndValue.load(std::memory_order_relaxed);
    const uint64_t rangeWord = slot.Range.load(std::memory_order_relaxed);
    if ((check ^ CheckOf(nodes, searchAndValue, rangeWord)) != line ||
        static_cast<uint32_t>(searchAndValue) != search || nodes >= room)
        return false;
    const WindowRange range = RangeOf(rangeWord);
    if (alpha < range.AlphaMin || alpha > range.AlphaMax || beta < range.BetaMin ||
        beta > range.BetaMax)
        return false;
    found = {nodes, static_cast<Score>(static_cast<uint16_t>(searchAndValue >> 32)), range};
    return true;
}

}  // namespace tarn
