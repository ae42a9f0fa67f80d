#!/usr/bin/env python3
"""Depth the engine reaches in a given time per move, or with a given node budget, over the bench
positions.

Drives one engine process over a pipe as a manager would: START 20, INFO timeout_turn MS and
INFO time_left 2147483647 (no match limit), then each position as a BOARD block with the side to
move as the engine. With --nodes, the engine gets INFO max_node N instead and a turn time of ten
minutes, which the node budgets measured here never reach. The depth of a position is that of
the last MESSAGE line before the move; a position answered without a search (an immediate five
or block) has none, nor has one whose node budget ran out within the first iteration, and one
whose search ended in a forced win or loss is counted apart, since it stops deepening there.

    tools/depth_by_time.py --engine build/pbrain-tarn --turn-ms 5000 500
    tools/depth_by_time.py --engine build/pbrain-tarn --nodes 100000 1000000 10000000
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_positions(path):
    with open(path) as lines:
        return [line.split() for line in lines if line.strip() and not line.startswith("#")]


NODE_BUDGET_TURN_MS = 600000


def search(engine, stones, limit):
    """The MESSAGE lines, the move line and the move time in ms of one position, under
    ("timeout_turn", MS) or ("max_node", N)."""
    key, value = limit
    settings = [f"INFO timeout_turn {value}", "INFO max_node 0"] if key == "timeout_turn" else \
        [f"INFO timeout_turn {NODE_BUDGET_TURN_MS}", f"INFO max_node {value}"]
    lines = ["START 20", *settings, "INFO time_left 2147483647", "BOARD", *stones, "DONE"]
    engine.stdin.write("".join(line + "\n" for line in lines[:-1]))
    engine.stdin.flush()
    if engine.stdout.readline().strip() != "OK":
        sys.exit("the engine did not answer START with OK")
    start = time.monotonic()
    engine.stdin.write(lines[-1] + "\n")
    engine.stdin.flush()
    reports = []
    while True:
        line = engine.stdout.readline()
        if not line:
            sys.exit("the engine ended its output")
        line = line.strip()
        if not line.startswith("MESSAGE "):
            return reports, line, (time.monotonic() - start) * 1000
        reports.append([field.strip() for field in line[len("MESSAGE "):].split(";")])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "pbrain-tarn"))
    parser.add_argument("--positions", default=os.path.join(ROOT, "bench", "positions.txt"))
    parser.add_argument("--turn-ms", type=int, nargs="+", default=[5000, 500])
    parser.add_argument("--nodes", type=int, nargs="+",
                        help="node budgets (INFO max_node) to measure instead of turn times")
    args = parser.parse_args()
    limits = [("max_node", n) for n in args.nodes] if args.nodes else \
        [("timeout_turn", ms) for ms in args.turn_ms]

    positions = read_positions(args.positions)
    engine = subprocess.Popen([args.engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              text=True, bufsize=1)
    for limit in limits:
        name = f"{limit[0]} {limit[1]}"
        depths, solved, immediate, times = [], 0, 0, []
        for number, stones in enumerate(positions, 1):
            reports, move, ms = search(engine, stones, limit)
            if not reports:
                immediate += 1
                continue
            depth, _, score = reports[-1][:3]
            if score[0] in "WL":
                solved += 1
            else:
                depths.append(int(depth))
                times.append(ms)
            print(f"{name}, position {number}: depth {depth}, score {score}, move {move}, "
                  f"{ms:.1f} ms", file=sys.stderr)
        counts = {d: depths.count(d) for d in sorted(set(depths))}
        print(f"{name}: {len(depths)} positions searched to the limit, "
              f"depth median {statistics.median(depths)}, min {min(depths)}, max {max(depths)}, "
              f"positions by depth {counts}, move time median {statistics.median(times):.0f} ms, "
              f"min {min(times):.0f}, max {max(times):.0f}; {solved} ended in a forced win or "
              f"loss, {immediate} answered without a MESSAGE line")
    engine.stdin.write("END\n")
    engine.stdin.close()
    return engine.wait()


if __name__ == "__main__":
    sys.exit(main())
