// The search allocates nothing: every global operator new of this test binary is counted.
#include <cstdlib>
#include <new>

#include "search/root.h"
#include "search_fixture.h"

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
    SetRandomPosition(3, 18);
    SearchOptions options;
    options.UseClock = false;
    options.LastIteration = 2;
    const int before = Allocations;
    const SearchResult result = RunRootSearch(options);
    const int during = Allocations - before;
    EXPECT_EQ(3, result.Iterations);
    EXPECT_EQ(0, during);
}

}  // namespace
}  // namespace tarn::testing
