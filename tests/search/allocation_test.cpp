// The search allocates nothing: every global operator new of this test binary is counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "search/root.h"
#include "search/virtual_processors.h"
#include "tests/support/boards.h"

namespace {
int Allocations = 0;
}

void* operator new(std::size_t size) {
    ++Allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
// The nothrow forms as well (std::stable_sort takes its buffer with them), so that every block
// is released by the same family that allocated it, as the sanitizer build checks.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++Allocations;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace tarn::testing {
namespace {

TEST(AllocationTest, SearchAllocatesNothing) {
    const TestBoard board = RandomGame(3, 18);
    SearchLimits limits;
    limits.LastIteration = 2;
    int reports = 0;
    const IterationCallback count = [&reports](const IterationReport&) { ++reports; };
    const int before = Allocations;
    const SearchResult result = RootSearch(board, limits, count);
    const int during = Allocations - before;
    EXPECT_EQ(3, result.Iterations);
    EXPECT_EQ(3, reports);
    EXPECT_EQ(0, during);

    // The parallel search's own code, on virtual processors (its threads would allocate).
    if (!VirtualProcessors::Available()) return;
    VirtualProcessors simulation(3);
    limits.Threads = &simulation;
    const int beforeParallel = Allocations;
    EXPECT_EQ(RootSearch(board, limits).Move, result.Move);
    EXPECT_EQ(0, Allocations - beforeParallel);
}

}  // namespace
}  // namespace tarn::testing
