#include "search/threads.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sched.h>
#endif

#include <algorithm>
#include <thread>

#include "search/parallel.h"

namespace tarn {

namespace {

// A helper's stack holds the deepest line of the search, and the lines of the split points it
// helps at below its own while it waits; the default of some systems is too small for that. The
// build sets the size, the same for every thread that searches (search/CMakeLists.txt).
constexpr size_t HelperStackBytes = TARN_SEARCH_STACK_BYTES;

}  // namespace

int UsableProcessors() {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
    return static_cast<int>(std::thread::hardware_concurrency());
}

namespace {

// The helpers a team starts when asked for `helpers`: no more than MaxSearchThreads allows.
int HelpersWithin(int helpers) {
    return std::min(helpers, MaxSearchThreads - 1);
}

}  // namespace

SearchThreads::SearchThreads(int helpers) : HelperTeam(HelpersWithin(helpers) + 1), asked(helpers) {
    helpers = HelpersWithin(helpers);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, HelperStackBytes);
    while (started < helpers && pthread_create(&handles[started], &attributes, Start, this) == 0)
        ++started;
    pthread_attr_destroy(&attributes);
}

SearchThreads::~SearchThreads() {
    {
        std::lock_guard<std::mutex> guard(lock);
        quitting = true;
    }
    wake.notify_all();
    for (int i = 0; i < started; ++i) pthread_join(handles[i], nullptr);
}

void* SearchThreads::Start(void* threads) {
    static_cast<SearchThreads*>(threads)->HelperLoop();
    return nullptr;
}

void SearchThreads::HelperLoop() {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait(guard, [&] { return quitting || (current && generation != seen); });
        if (quitting) return;
        seen = generation;
        ParallelSearch& search = *current;
        ++working;
        guard.unlock();
        HelpSearch(search);
        guard.lock();
        if (--working == 0) left.notify_all();
    }
}

void SearchThreads::Begin(ParallelSearch& search) {
    {
        std::lock_guard<std::mutex> guard(lock);
        current = &search;
        ++generation;
    }
    wake.notify_all();
}

void SearchThreads::End() {
    std::unique_lock<std::mutex> guard(lock);
    if (current) current->Searching.store(false, std::memory_order_release);
    current = nullptr;
    left.wait(guard, [&] { return working == 0; });
}

}  // namespace tarn
