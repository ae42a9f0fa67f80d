// The instruction sets the search is compiled for. The engine carries the node chain built for
// the build's base instruction set (x86-64-v2 in a portable build: SSE4.2 and POPCNT, which every
// x86-64 processor of the last ten years has, low-end ones included) and, in a portable x86-64
// build, built again for x86-64-v3 (AVX2, BMI2, FMA, MOVBE, LZCNT). A search runs on the best path
// the processor supports unless it is asked for another; every path searches the very same tree.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarn {

enum class SearchPath : uint8_t { Base, X86_64_V3 };

// "x86-64-v2" or "x86-64-v3"; the base path of a build tuned for its own machine is "native".
std::string_view PathName(SearchPath path);

// The paths this build carries, the base path first.
std::span<const SearchPath> CompiledPaths();

// True when this build carries the path and this processor can run it.
bool PathAvailable(SearchPath path);

// The best path this processor can run, found once.
SearchPath BestPath();

// The path of that name among those this build carries.
std::optional<SearchPath> PathNamed(std::string_view name);

}  // namespace tarn
