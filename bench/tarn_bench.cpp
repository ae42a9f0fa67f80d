// tarn-bench: searches a fixed suite of positions to a fixed depth with the clock switched off
// and prints the exact node counts. Their total is the bench signature: a change that keeps it
// searched the very same tree; a change that alters it changed the search. With more than one
// thread the search finds the same tree, and the bench also counts the nodes the helper threads
// searched on speculation and threw away.
//
//     tarn-bench [--depth D] [--nodes N] [--positions FILE] [--path NAME] [--threads N]
//                [--simulate-threads P [--foresight]]
//
// The search runs on the best instruction-set path of the processor unless --path names one.
// With --nodes it stops each position's search as the engine does under INFO max_node N, with
// every depth allowed unless --depth is given too; the node counts, the speed and the signature
// then count the completed iterations only.
// --simulate-threads runs the parallel search on P virtual processors (search/virtual_processors.h)
// and prints its speed-up in virtual time over one thread: the suite's nodes, which one thread
// takes one unit of time each to search, over the virtual time P processors take. With
// --foresight the simulation first records what the one-thread search does at each position and
// then shares the work by it (search/foresight.h): nothing is thrown away, and the speed-up is the
// most any way of sharing this tree could reach.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "game/game_state.h"
#include "protocol/text_forms.h"
#include "search/depth.h"
#include "search/foresight.h"
#include "search/root.h"
#include "search/search_path.h"
#include "search/threads.h"
#include "search/virtual_processors.h"

namespace {

using namespace tarn;

struct BenchStone {
    int x, y, who;
};

using Position = std::vector<BenchStone>;

// One position a line, stones "x,y,who" separated by blanks; blank lines and lines starting with
// '#' are skipped. Returns false, with a message, on the first malformed line.
bool ReadPositions(const std::string& path, std::vector<Position>& positions) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "tarn-bench: cannot read " << path << "\n";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
        std::istringstream words(line);
        Position position;
        for (std::string word; words >> word;) {
            BenchStone s{};
            char comma1 = 0, comma2 = 0;
            std::istringstream fields(word);
            if (!(fields >> s.x >> comma1 >> s.y >> comma2 >> s.who) || comma1 != ',' ||
                comma2 != ',' || s.x < 0 || s.x >= BoardSize || s.y < 0 || s.y >= BoardSize ||
                (s.who != 1 && s.who != 2)) {
                std::cerr << path << ":" << number << ": bad stone '" << word << "'\n";
                return false;
            }
            position.push_back(s);
        }
        positions.push_back(position);
    }
    return true;
}

bool SetUp(const Position& position, GameState& game) {
    game.Reset();
    for (const BenchStone& s : position) {
        const CellIndex cell = CellAt(s.x, s.y);
        if (!game.IsFreeCell(cell)) return false;
        game.Place(cell, static_cast<Stone>(s.who));
    }
    return true;
}

std::string DefaultPositionsPath() {
    const std::string local = "bench/positions.txt";
    if (std::ifstream(local)) return local;
    return TARN_SOURCE_DIR "/bench/positions.txt";
}

// The names of the paths this build carries, each after a blank.
std::string PathList() {
    std::string list;
    for (SearchPath p : CompiledPaths()) list += " " + std::string(PathName(p));
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    int depth = 10;
    bool depthGiven = false;
    long long maxNodes = 0;
    int threadCount = 1;
    int simulated = 0;
    bool foreseen = false;
    std::string path = DefaultPositionsPath();
    std::string pathName;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--depth" && i + 1 < argc) {
            depth = std::atoi(argv[++i]);
            depthGiven = true;
        } else if (arg == "--nodes" && i + 1 < argc) {
            maxNodes = std::atoll(argv[++i]);
        } else if (arg == "--positions" && i + 1 < argc) {
            path = argv[++i];
        } else if (arg == "--path" && i + 1 < argc) {
            pathName = argv[++i];
        } else if (arg == "--threads" && i + 1 < argc) {
            threadCount = std::atoi(argv[++i]);
        } else if (arg == "--simulate-threads" && i + 1 < argc) {
            simulated = std::atoi(argv[++i]);
            threadCount = simulated;
        } else if (arg == "--foresight") {
            foreseen = true;
        } else {
            std::cerr << "usage: tarn-bench [--depth D] [--nodes N] [--positions FILE] "
                         "[--path NAME] [--threads N]\n"
                         "                  [--simulate-threads P [--foresight]]\n"
                         "  D is the search depth, "
                      << ReportedDepth(0) << " to " << ReportedDepth(MaxIterations - 1)
                      << " in steps of 2 (default 10, or every depth with --nodes)\n"
                         "  N stops each search at that many nodes, as INFO max_node does\n"
                         "  NAME is an instruction-set path:"
                      << PathList() << " (default: the best this processor has)\n"
                      << "  N is the number of threads, 1 to " << MaxSearchThreads
                      << " (default 1)\n"
                      << "  P is a number of virtual processors to simulate, 1 to "
                      << MaxSearchThreads
                      << "\n  --foresight shares the simulated work by what one thread did\n";
            return 2;
        }
    }
    SearchLimits limits;  // the clock stays off: every search runs to the depth asked
    if (!pathName.empty()) {
        limits.Path = PathNamed(pathName);
        if (!limits.Path) {
            std::cerr << "tarn-bench: no path " << pathName
                      << " in this build; it has:" << PathList() << "\n";
            return 2;
        }
        if (!PathAvailable(*limits.Path)) {
            std::cerr << "tarn-bench: this processor cannot run the path " << pathName << "\n";
            return 2;
        }
    }
    if (IterationOfDepth(depth) < 0) {
        std::cerr << "tarn-bench: the depth must be even, from " << ReportedDepth(0) << " to "
                  << ReportedDepth(MaxIterations - 1) << "\n";
        return 2;
    }
    if (maxNodes < 0) {
        std::cerr << "tarn-bench: the nodes must be 0 (no limit) or more\n";
        return 2;
    }
    if (threadCount < 1 || threadCount > MaxSearchThreads) {
        std::cerr << "tarn-bench: the threads must be 1 to " << MaxSearchThreads << "\n";
        return 2;
    }
    if (foreseen && !simulated) {
        std::cerr << "tarn-bench: --foresight needs --simulate-threads\n";
        return 2;
    }
    if (simulated && !VirtualProcessors::Available()) {
        std::cerr << "tarn-bench: this build cannot simulate processors\n";
        return 2;
    }
    std::vector<Position> positions;
    if (!ReadPositions(path, positions)) return 1;

    limits.LastIteration =
        maxNodes > 0 && !depthGiven ? MaxIterations - 1 : IterationOfDepth(depth);
    limits.MaxNodes = static_cast<uint64_t>(maxNodes);
    std::unique_ptr<SearchThreads> helpers;
    std::unique_ptr<VirtualProcessors> simulation;
    std::unique_ptr<Foresight> foresight;
    if (simulated) {
        simulation = std::make_unique<VirtualProcessors>(simulated);
        if (foreseen) {
            foresight = std::make_unique<Foresight>();
            simulation->Foresee(foresight.get());
        }
        limits.Threads = simulation.get();
    } else if (threadCount > 1) {
        helpers = std::make_unique<SearchThreads>(threadCount - 1);
        limits.Threads = helpers.get();
    }
    GameState game;

    SearchPath searchedWith = limits.Path.value_or(BestPath());
    uint64_t totalNodes = 0, thrownNodes = 0, reusedNodes = 0;
    double totalSeconds = 0;
    for (size_t i = 0; i < positions.size(); ++i) {
        if (!SetUp(positions[i], game)) {
            std::cerr << "tarn-bench: position " << i + 1 << " puts two stones on one cell\n";
            return 1;
        }
        if (foresight) {
            foresight->Record(game.Board, limits);
            if (foresight->Overflowed())
                std::cerr << "tarn-bench: position " << i + 1
                          << " did not fit the foresight; the figures are not the ceiling\n";
        }
        const auto start = std::chrono::steady_clock::now();
        const SearchResult result = RootSearch(game.Board, limits);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        totalSeconds += seconds;
        searchedWith = result.Path;
        thrownNodes += result.ThrownNodes;
        reusedNodes += result.ReusedNodes;

        const int reached =
            result.Iterations ? result.PerIteration[result.Iterations - 1].Depth : 0;
        std::ostringstream line;
        line << "Position " << i + 1 << ": depth " << reached << ", move " << MoveText(result.Move);
        if (result.Iterations)
            line << ", score " << ScoreText(result.PerIteration[result.Iterations - 1].BestScore);
        else
            line << " (immediate)";
        line << ", nodes";
        for (int d = 0; d < result.Iterations; ++d) {
            line << " " << result.PerIteration[d].Nodes;
            totalNodes += result.PerIteration[d].Nodes;
        }
        char ms[32];
        std::snprintf(ms, sizeof ms, "%.1f", seconds * 1000);
        if (result.TimedOut) line << ", stopped at the node limit";
        line << ", " << ms << " ms";
        std::cout << line.str() << "\n";
    }

    const double nps = totalSeconds > 0 ? static_cast<double>(totalNodes) / totalSeconds : 0;
    std::cout << "Path: " << PathName(searchedWith) << "\n"
              << "Nodes searched: " << totalNodes << "\n"
              << "Nodes/second: " << static_cast<uint64_t>(nps) << "\n"
              << "Time (ms): " << static_cast<uint64_t>(totalSeconds * 1000 + 0.5) << "\n";
    if (threadCount > 1) {
        char share[32];
        std::snprintf(share, sizeof share, "%.1f",
                      100.0 * static_cast<double>(thrownNodes) /
                          static_cast<double>(totalNodes + thrownNodes));
        std::cout << "Threads: " << threadCount << "\n"
                  << "Speculative nodes thrown away: " << thrownNodes << " (" << share
                  << " % of all searched)\n"
                  << "Nodes taken from lines searched before: " << reusedNodes << "\n";
    }
    if (simulation) {
        // Where the processors' time went, in nodes of the one-thread search: searching them (a
        // node of a search that keeps its lines takes longer), searching nodes thrown away, less
        // the nodes taken from lines searched before, waiting for work, handing work over; these
        // add up to it but for the few ticks a helper may end after the searching thread.
        const double tick = 1.0 / VirtualProcessors::TicksPerNode;
        const double nodes = static_cast<double>(totalNodes);
        const double node = static_cast<double>(simulation->NodeTicks()) * tick;
        const double elapsed = static_cast<double>(simulation->Elapsed()) * tick;
        char figures[256];
        std::snprintf(figures, sizeof figures,
                      "Simulated speed-up: %.2f\nThrown away: %.1f %%\n"
                      "Processor time per node: %.2f (a node %.2f, thrown away %.2f, taken again "
                      "%.2f, waiting %.2f, handing over %.2f)\n",
                      nodes / elapsed,
                      100.0 * static_cast<double>(thrownNodes) /
                          static_cast<double>(totalNodes + thrownNodes),
                      elapsed * simulated / nodes, node,
                      static_cast<double>(thrownNodes) * node / nodes,
                      static_cast<double>(reusedNodes) * node / nodes,
                      static_cast<double>(simulation->Waited()) * tick / nodes,
                      static_cast<double>(simulation->HandedOver()) * tick / nodes);
        std::cout << figures;
    }
    std::cout << "Signature: " << totalNodes << std::endl;
    return 0;
}
