// The brain of the deep-stack check (tests/web/run.sh): the command loop on standard input and
// output as in app/main.cpp, linked with Emscripten's stack-overflow checks, that also says how
// deep its stack went. Before the loop the unused stack is filled with a pattern; at the end the
// lowest word that no longer holds it marks the deepest the stack reached, which goes to
// standard error as "Stack used: N of M bytes".
#include <emscripten/stack.h>

#include <cstdint>
#include <iostream>

#include "protocol/command_loop.h"

namespace {

constexpr uint32_t Untouched = 0x5eed7a22;

// Room left for the frames that painting and the first calls of the loop push right below the
// current one; the mark never counts less than what this main's own frame uses.
constexpr uintptr_t Headroom = 1024;

// The words at the stack's end hold the runtime's cookie, which it checks at exit.
constexpr uintptr_t CookieBytes = 16;

void Paint(uintptr_t end, uintptr_t below) {
    for (auto* word = reinterpret_cast<volatile uint32_t*>(end);
         reinterpret_cast<uintptr_t>(word) < below; ++word)
        *word = Untouched;
}

uintptr_t LowestTouched(uintptr_t end, uintptr_t base) {
    auto* word = reinterpret_cast<const volatile uint32_t*>(end);
    while (reinterpret_cast<uintptr_t>(word) < base && *word == Untouched) ++word;
    return reinterpret_cast<uintptr_t>(word);
}

}  // namespace

int main() {
    std::ios::sync_with_stdio(false);
    const uintptr_t base = emscripten_stack_get_base();
    const uintptr_t end = emscripten_stack_get_end();
    Paint(end + CookieBytes, emscripten_stack_get_current() - Headroom);
    const int status = tarn::RunCommandLoop(std::cin, std::cout);
    std::cerr << "Stack used: " << base - LowestTouched(end + CookieBytes, base) << " of "
              << base - end << " bytes\n";
    return status;
}
