#include "search/search_path.h"

#include <array>

#include "search/node.h"

#ifdef TARN_X86_64_V3_PATH
#include <cpuid.h>
#endif

// The build names its base instruction set; a build that does not uses the compiler's default.
#ifndef TARN_BASE_PATH_NAME
#define TARN_BASE_PATH_NAME "generic"
#endif

namespace tarn {

#ifdef TARN_X86_64_V3_PATH
namespace x86_64_v3_path {
extern const NodeChain NodeByDepth;
extern const WorkerNodeChain WorkerNodeByDepth;
}  // namespace x86_64_v3_path
#endif

namespace {

#ifdef TARN_X86_64_V3_PATH
constexpr std::array<SearchPath, 2> Compiled = {SearchPath::Base, SearchPath::X86_64_V3};

// x86-64-v3 as the processor and the operating system report it: AVX, AVX2, FMA, F16C, MOVBE,
// BMI1, BMI2 and LZCNT, and the operating system saving the upper halves of the vector registers
// (XCR0 bits 1 and 2) on a task switch; without that, AVX instructions fault.
bool ProcessorHasX86_64_V3() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    constexpr unsigned Fma = 1u << 12, Movbe = 1u << 22, OsXsave = 1u << 27, Avx = 1u << 28,
                       F16c = 1u << 29;
    constexpr unsigned Leaf1 = Fma | Movbe | OsXsave | Avx | F16c;
    if (!__get_cpuid(1, &a, &b, &c, &d) || (c & Leaf1) != Leaf1) return false;
    unsigned xcr0 = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    if ((xcr0 & 6u) != 6u) return false;
    constexpr unsigned Bmi1 = 1u << 3, Avx2 = 1u << 5, Bmi2 = 1u << 8;
    constexpr unsigned Leaf7 = Bmi1 | Avx2 | Bmi2;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || (b & Leaf7) != Leaf7) return false;
    constexpr unsigned Lzcnt = 1u << 5;
    return __get_cpuid(0x80000001, &a, &b, &c, &d) && (c & Lzcnt) != 0;
}
#else
constexpr std::array<SearchPath, 1> Compiled = {SearchPath::Base};
#endif

}  // namespace

std::string_view PathName(SearchPath path) {
    return path == SearchPath::Base ? TARN_BASE_PATH_NAME : "x86-64-v3";
}

std::span<const SearchPath> CompiledPaths() {
    return Compiled;
}

// The base path needs no test: the rest of the program is built for it and could not have
// started without it.
bool PathAvailable(SearchPath path) {
    if (path == SearchPath::Base) return true;
#ifdef TARN_X86_64_V3_PATH
    static const bool hasV3 = ProcessorHasX86_64_V3();
    return path == SearchPath::X86_64_V3 && hasV3;
#else
    return false;
#endif
}

SearchPath BestPath() {
    return PathAvailable(SearchPath::X86_64_V3) ? SearchPath::X86_64_V3 : SearchPath::Base;
}

std::optional<SearchPath> PathNamed(std::string_view name) {
    for (SearchPath path : Compiled)
        if (PathName(path) == name) return path;
    return std::nullopt;
}

const NodeChain& NodeChainOf(SearchPath path) {
#ifdef TARN_X86_64_V3_PATH
    if (path == SearchPath::X86_64_V3) return x86_64_v3_path::NodeByDepth;
#endif
    (void)path;
    return NodeByDepth;  // this file is compiled once, for the base path
}

const WorkerNodeChain& WorkerNodeChainOf(SearchPath path) {
#ifdef TARN_X86_64_V3_PATH
    if (path == SearchPath::X86_64_V3) return x86_64_v3_path::WorkerNodeByDepth;
#endif
    (void)path;
    return WorkerNodeByDepth;
}

}  // namespace tarn
