#include "search/virtual_processors.h"

#include <algorithm>
#include <cstdlib>

#include "search/parallel.h"

#if defined(__x86_64__) && !defined(_WIN32)
#define TARN_FIBERS 1
#include <sys/mman.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TARN_ASAN_FIBERS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARN_ASAN_FIBERS 1
#endif
#endif
#ifdef TARN_ASAN_FIBERS
#include <sanitizer/common_interface_defs.h>
#endif

#if defined(__SANITIZE_THREAD__)
#define TARN_TSAN_FIBERS 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TARN_TSAN_FIBERS 1
#endif
#endif
#ifdef TARN_TSAN_FIBERS
#include <sanitizer/tsan_interface.h>
#endif

namespace tarn {

namespace {

#ifdef TARN_FIBERS
// A helper's stack is as large as a helper thread's (search/CMakeLists.txt).
constexpr size_t HelperStackBytes = TARN_SEARCH_STACK_BYTES;
#endif

// The costs of Overhead, in nodes searched: what each took on real searches with two threads on
// this project's machine, in processor cycles, over the 30 cycles a node takes there
// (bench/RESULTS.md, "Parallel search").
constexpr int64_t OverheadNodes[] = {
    0,   // None
    2,   // FindWork: 59 cycles
    10,  // TakeChild: 300
    55,  // CopyModel: 1640
    7,   // CommitChild: 220
    8,   // OpenSplit: 232
    22,  // JoinSplit: 734 for a look that finds, less the look
    7,   // CloseSplit: 212
};
static_assert(std::size(OverheadNodes) == static_cast<size_t>(Overhead::CloseSplit) + 1);

// A waiting thread looks for work again after the earliest working thread has searched a node.
constexpr int64_t WaitStep = VirtualProcessors::TicksPerNode;
// At a stop test a thread runs on while it is at most this far ahead of every other one: the
// stop tests come every few hundred nodes, and handing over at each would cost more real time
// than the order of events it keeps is worth.
constexpr int64_t StopTestQuantum = 32 * VirtualProcessors::TicksPerNode;

#ifdef TARN_FIBERS
// Saves the callee-saved registers of the x86-64 System V convention and the floating-point
// control words on the running stack, stores its pointer at `saved`, and continues on the stack
// `next`, which a previous switch (or FiberFrame) left in the same layout.
[[gnu::naked, gnu::noinline]] void SwitchFiber(void** /*saved*/, void* /*next*/) {
    asm volatile(
        "pushq %rbp\n"
        "pushq %rbx\n"
        "pushq %r12\n"
        "pushq %r13\n"
        "pushq %r14\n"
        "pushq %r15\n"
        "subq $8, %rsp\n"
        "stmxcsr (%rsp)\n"
        "fnstcw 4(%rsp)\n"
        "movq %rsp, (%rdi)\n"
        "movq %rsi, %rsp\n"
        "ldmxcsr (%rsp)\n"
        "fldcw 4(%rsp)\n"
        "addq $8, %rsp\n"
        "popq %r15\n"
        "popq %r14\n"
        "popq %r13\n"
        "popq %r12\n"
        "popq %rbx\n"
        "popq %rbp\n"
        "ret\n");
}

// Where a new fiber's first switch returns to: calls the entry in r12 with the argument in rbx,
// on the 16-byte aligned stack the convention asks for. The entry never returns.
[[gnu::naked, gnu::noinline]] void FiberStart() {
    asm volatile(
        "movq %rbx, %rdi\n"
        "callq *%r12\n"
        "ud2\n");
}

// A new fiber's stack as SwitchFiber leaves a stack it switched away from, so that the first
// switch to it "returns" into FiberStart.
void* FiberFrame(char* stackTop, void (*entry)(void*), void* argument) {
    auto* top = reinterpret_cast<uint64_t*>(reinterpret_cast<uintptr_t>(stackTop) & ~uintptr_t{15});
    uint32_t mxcsr = 0;
    uint16_t controlWord = 0;
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    asm volatile("fnstcw %0" : "=m"(controlWord));
    top[-1] = reinterpret_cast<uint64_t>(&FiberStart);
    top[-2] = 0;                                     // rbp
    top[-3] = reinterpret_cast<uint64_t>(argument);  // rbx
    top[-4] = reinterpret_cast<uint64_t>(entry);     // r12
    top[-5] = top[-6] = top[-7] = 0;                 // r13, r14, r15
    top[-8] = mxcsr | (uint64_t{controlWord} << 32);
    return top - 8;
}
#endif

// Of two processors, the one that runs first: the earlier clock, then the lower number.
bool RunsBefore(const VirtualProcessors::Processor& a, int aIndex,
                const VirtualProcessors::Processor& b, int bIndex) {
    return a.Clock < b.Clock || (a.Clock == b.Clock && aIndex < bIndex);
}

}  // namespace

bool VirtualProcessors::Available() {
#ifdef TARN_FIBERS
    return true;
#else
    return false;
#endif
}

VirtualProcessors::VirtualProcessors(int processors) : HelperTeam(processors), count(processors) {
    if (!Available() || processors < 1 || processors > MaxSearchThreads) std::abort();
#ifdef TARN_FIBERS
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    for (int i = 1; i < count; ++i) {
        void* memory = mmap(nullptr, HelperStackBytes + page, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory == MAP_FAILED) std::abort();
        mprotect(memory, page, PROT_NONE);
        Processor& processor = this->processors[i];
        processor.Stack = static_cast<char*>(memory);
        processor.StackBottom = processor.Stack + page;
        processor.StackSize = HelperStackBytes;
    }
#endif
}

VirtualProcessors::~VirtualProcessors() {
#ifdef TARN_FIBERS
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    for (int i = 1; i < count; ++i) munmap(processors[i].Stack, HelperStackBytes + page);
#endif
}

void VirtualProcessors::Begin(ParallelSearch& shared) {
    search = &shared;
    nodeTicks = shared.KeepsLines ? RangedNodeTicks : TicksPerNode;
    running = 0;
    searchStart = processors[0].Clock;
    processors[0].Live = true;
#ifdef TARN_TSAN_FIBERS
    processors[0].SanitizerFiber = __tsan_get_current_fiber();
#endif
    for (int i = 1; i < count; ++i) {
        Processor& helper = processors[i];
        helper.Clock = searchStart;
        helper.Live = true;
        helper.Waiting = false;
#ifdef TARN_FIBERS
        char* top =
            const_cast<char*>(static_cast<const char*>(helper.StackBottom)) + helper.StackSize;
        helper.Saved = FiberFrame(top, &HelperMain, this);
#endif
#ifdef TARN_TSAN_FIBERS
        helper.SanitizerFiber = __tsan_create_fiber(0);
#endif
    }
}

void VirtualProcessors::End() {
    elapsed += processors[0].Clock - searchStart;
    search->Searching.store(false, std::memory_order_relaxed);
    for (;;) {
        bool helping = false;
        for (int i = 1; i < count; ++i) helping = helping || processors[i].Live;
        if (!helping) break;
        Wait();
    }
#ifdef TARN_TSAN_FIBERS
    for (int i = 1; i < count; ++i) __tsan_destroy_fiber(processors[i].SanitizerFiber);
#endif
    search = nullptr;
}

void VirtualProcessors::HelperMain(void* simulation) {
    auto& self = *static_cast<VirtualProcessors*>(simulation);
    self.FinishSwitch();
    HelpSearch(*self.search);
    self.processors[self.running].Live = false;
    // The fiber ends: it switches away for good to the searching thread, which waits for it.
    self.SwitchTo(self.Earliest(false));
    std::abort();
}

void VirtualProcessors::Charge(WorkerState& worker, Overhead overhead) {
    const int64_t cost = OverheadNodes[static_cast<int>(overhead)] * TicksPerNode;
    processors[running].Clock +=
        static_cast<int64_t>(worker.NodeCount - worker.AccountedNodes) * nodeTicks + cost;
    // Looking for work is part of waiting for it.
    (overhead == Overhead::FindWork ? waited : handedOver) += cost;
    worker.AccountedNodes = worker.NodeCount;
}

int VirtualProcessors::Earliest(bool workingOnly) const {
    int earliest = -1;
    for (int i = 0; i < count; ++i) {
        const Processor& p = processors[i];
        if (i == running || !p.Live || (workingOnly && p.Waiting)) continue;
        if (earliest < 0 || RunsBefore(p, i, processors[earliest], earliest)) earliest = i;
    }
    return earliest;
}

void VirtualProcessors::StopTest(WorkerState& worker) {
    Charge(worker, Overhead::None);
    const int next = Earliest(false);
    if (next >= 0 && processors[next].Clock + StopTestQuantum < processors[running].Clock)
        SwitchTo(next);
}

void VirtualProcessors::Meet(WorkerState& worker, Overhead overhead) {
    Charge(worker, overhead);
    const int next = Earliest(false);
    if (next >= 0 && RunsBefore(processors[next], next, processors[running], running))
        SwitchTo(next);
}

void VirtualProcessors::Wait() {
    Processor& self = processors[running];
    int working = Earliest(true);
    if (working < 0) working = Earliest(false);
    const int64_t before = self.Clock;
    if (working >= 0) self.Clock = std::max(self.Clock, processors[working].Clock);
    self.Clock += WaitStep;
    // After the searching thread's end, only the helpers' leaving is waited for.
    if (search->Searching.load(std::memory_order_relaxed)) waited += self.Clock - before;
    self.Waiting = true;
    const int next = Earliest(false);
    if (next >= 0 && RunsBefore(processors[next], next, self, running)) SwitchTo(next);
    self.Waiting = false;
}

void VirtualProcessors::SwitchTo(int next) {
#ifdef TARN_FIBERS
    Processor& from = processors[running];
    Processor& to = processors[next];
    running = next;
#ifdef TARN_ASAN_FIBERS
    // A fiber that has ended leaves no stack behind to come back to.
    void* fakeStack = nullptr;
    __sanitizer_start_switch_fiber(from.Live ? &fakeStack : nullptr, to.StackBottom, to.StackSize);
#endif
#ifdef TARN_TSAN_FIBERS
    __tsan_switch_to_fiber(to.SanitizerFiber, 0);
#endif
    SwitchFiber(&from.Saved, to.Saved);
#ifdef TARN_ASAN_FIBERS
    const void* bottom = nullptr;
    size_t size = 0;
    __sanitizer_finish_switch_fiber(fakeStack, &bottom, &size);
    (void)bottom;
    (void)size;
#endif
#else
    (void)next;
    std::abort();
#endif
}

void VirtualProcessors::FinishSwitch() {
#ifdef TARN_ASAN_FIBERS
    // The first switch to a helper comes from some fiber; only the searching thread's stack is
    // not known beforehand, and a helper learns it here when the switch came from there.
    const void* bottom = nullptr;
    size_t size = 0;
    __sanitizer_finish_switch_fiber(nullptr, &bottom, &size);
    if (!processors[0].StackBottom) {
        processors[0].StackBottom = bottom;
        processors[0].StackSize = size;
    }
#endif
}

}  // namespace tarn
