// How deep the search looks. Iteration d of the deepening puts each root move on the board and
// searches below it with the engine-move node of remaining depth 2d + 3, so its lines are 2d + 4
// plies long, the depth its report gives.
#pragma once

#include <cstdint>

namespace tarn {

inline constexpr int MaxIterations = 20;

// The remaining depth of the node below a root move in iteration `iteration`.
constexpr int NodeDepth(int iteration) {
    return 2 * iteration + 3;
}

// The depth an iteration reports: the root move and the plies below it.
constexpr int ReportedDepth(int iteration) {
    return NodeDepth(iteration) + 1;
}

inline constexpr int MaxSearchDepth = NodeDepth(MaxIterations - 1);

// The last iteration a depth limit lets start: none deeper than `plies`, yet the first always.
// A limit of 0 or below is none.
constexpr int LastIterationWithin(int64_t plies) {
    int last = MaxIterations - 1;
    if (plies > 0)
        while (last > 0 && ReportedDepth(last) > plies) --last;
    return last;
}

// The iteration whose report gives `depth`, or -1 when none does.
constexpr int IterationOfDepth(int depth) {
    for (int iteration = 0; iteration < MaxIterations; ++iteration)
        if (ReportedDepth(iteration) == depth) return iteration;
    return -1;
}

}  // namespace tarn
