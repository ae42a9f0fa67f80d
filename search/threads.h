// The helpers of parallel searches: who runs them (HelperTeam), and the team of the system's
// threads (SearchThreads). A team lends its helpers to one search at a time, and only the
// search's own shared state (ParallelSearch, search/parallel.h) starts and stops them: it hands
// itself to them when it is made and takes itself back before it is destroyed, so no helper can
// still work on a search that has ended.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "search/searched_lines.h"

namespace tarn {

struct ParallelSearch;
class VirtualProcessors;

// The most threads a search runs on: the caller's own and helpers.
inline constexpr int MaxSearchThreads = 64;

// The processors this process may run on: on Linux those of its affinity mask, which taskset and
// container CPU sets narrow; elsewhere the system's count. 0 when the system cannot tell.
int UsableProcessors();

// The threads a search runs on when `asked` are and the process may use `processors` (0: not
// known): one for anything below 2, at most the maximum, and no more than the processors. Threads
// beyond the processors would only take turns with the others: the search gets slower, and a
// time-out waits for each thread that has to notice it to get its turn.
constexpr int SearchThreadCount(int64_t asked, int processors) {
    const int most =
        processors > 0 && processors < MaxSearchThreads ? processors : MaxSearchThreads;
    return asked < 1 ? 1 : asked > most ? most : static_cast<int>(asked);
}

class HelperTeam {
public:
    // The helpers beside the searching thread.
    virtual int Helpers() const = 0;
    // The simulation whose virtual processors the helpers are; null for the system's threads.
    virtual VirtualProcessors* Simulation() { return nullptr; }

    // The lines the searches on this team searched, made once with the team and lent to one
    // search at a time like the helpers.
    SearchedLines Lines;

protected:
    // A team of at most `threads` threads, the searching one included.
    explicit HelperTeam(int threads) : Lines(threads) {}
    ~HelperTeam() = default;

private:
    friend struct ParallelSearch;
    // The helpers work on `search` from Begin until End, which returns once none of them touches
    // the search any more. Called by the search's constructor and destructor alone.
    virtual void Begin(ParallelSearch& search) = 0;
    virtual void End() = 0;
};

// Helper threads of the system. They start with the object, wait between searches without using
// the processor, and are stopped and joined when it is destroyed.
class SearchThreads final : public HelperTeam {
public:
    // Starts `helpers` threads (at most MaxSearchThreads - 1), or fewer if the system refuses.
    explicit SearchThreads(int helpers);
    ~SearchThreads();
    SearchThreads(const SearchThreads&) = delete;
    SearchThreads& operator=(const SearchThreads&) = delete;

    int Helpers() const override { return started; }
    int Asked() const { return asked; }

private:
    void Begin(ParallelSearch& search) override;
    void End() override;
    static void* Start(void* threads);
    void HelperLoop();

    // Guarded by `lock`: the search handed out, its generation and the helpers inside it.
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
