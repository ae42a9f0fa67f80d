// The helper threads of parallel searches. They start with the object, wait between searches
// without using the processor, and are stopped and joined when it is destroyed. A search is
// handed to them for as long as it runs; they never outlive it.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tarn {

struct ParallelSearch;

// The most threads a search runs on: the caller's own and helpers.
inline constexpr int MaxSearchThreads = 64;

// The threads a search runs on when `asked` are: one for anything below 2, at most the maximum.
constexpr int SearchThreadCount(int64_t asked) {
    return asked < 1 ? 1 : asked > MaxSearchThreads ? MaxSearchThreads : static_cast<int>(asked);
}

class SearchThreads {
public:
    // Starts `helpers` threads (at most MaxSearchThreads - 1), or fewer if the system refuses.
    explicit SearchThreads(int helpers);
    ~SearchThreads();
    SearchThreads(const SearchThreads&) = delete;
    SearchThreads& operator=(const SearchThreads&) = delete;

    int Helpers() const { return started; }
    int Asked() const { return asked; }

    // The helpers work on `search` from Begin until End, which returns once none of them touches
    // the search any more.
    void Begin(ParallelSearch& search);
    void End();

private:
    static void* Start(void* threads);
    void HelperLoop();

    std::mutex lock;
    std::condition_variable wake, left;
    ParallelSearch* current = nullptr;
    uint64_t generation = 0;  // one more for every search handed out
    int working = 0;          // helpers inside the current search
    bool quitting = false;
    int asked = 0;
    int started = 0;
    pthread_t handles[MaxSearchThreads - 1];
};

}  // namespace tarn
