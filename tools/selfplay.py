#!/usr/bin/env python3
"""Plays games between two brain processes the way a tournament manager drives them.

Both processes live for the whole match: every game begins with "START 20" in the same
process, and "END" is sent once after the last game. Each game starts from a short random
opening near the centre. The side to move first gets the opening as a BOARD block, the other
side gets its first move as a BOARD block too, and every later move arrives as "TURN x,y".

Every answer is checked: a move must name a free cell, no line may start with ERROR or
UNKNOWN, and after each game "DEBUG last_moves" must repeat exactly the stones that engine
was given or played. The driver reports move times against the budget and the resident memory
of both processes, and exits with status 1 when any check failed.

With --nodes (INFO max_node) each brain plays at a fixed strength, and with a turn time long
enough for its node budget the games are the same on every run and every machine. --depth, --nodes
and --engine apply to both brains when given once, to brains A and B when given twice.
"""

import argparse
import os
import random
import re
import select
import shlex
import statistics
import subprocess
import sys
import time

BOARD_SIZE = 20
NO_MATCH_LIMIT = 2147483647
MOVE_LINE = re.compile(r"^(\d+),(\d+)$")
DIRECTIONS = ((1, 0), (0, 1), (1, 1), (1, -1))


class CheckFailed(Exception):
    """A broken rule of the protocol or of the game; ends the match."""


class Engine:
    """One brain process with line-wise, time-limited reading of its answers."""

    def __init__(self, label, command, depth=None, nodes=None):
        self.label = label
        self.command = command
        self.depth = depth
        self.nodes = nodes
        self.process = subprocess.Popen(
            shlex.split(command),
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            bufsize=0,
        )
        self.pending = b""
        self.messages = 0
        self.move_times = []
        self.history = []

    def send(self, *lines):
        data = "".join(line + "\n" for line in lines).encode()
        try:
            self.process.stdin.write(data)
            self.process.stdin.flush()
        except BrokenPipeError:
            raise CheckFailed(f"{self.label}: the process closed its input "
                              f"(exit status {self.process.poll()})")

    def read_line(self, timeout):
        """The next line without its line end (LF or CRLF); fails after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                raise CheckFailed(f"{self.label}: silent for {timeout:.1f} s")
            ready, _, _ = select.select([self.process.stdout], [], [], left)
            if not ready:
                continue
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                raise CheckFailed(f"{self.label}: the process ended its output "
                                  f"(exit status {self.process.poll()})")
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        if line.endswith(b"\r"):
            line = line[:-1]
        text = line.decode(errors="replace")
        if text.startswith("ERROR") or text.startswith("UNKNOWN"):
            raise CheckFailed(f"{self.label}: answered {text!r}")
        return text

    def memory(self):
        """VmRSS and VmHWM of the process in KiB, or None where /proc does not tell."""
        values = {}
        try:
            with open(f"/proc/{self.process.pid}/status") as status:
                for line in status:
                    key, _, rest = line.partition(":")
                    if key in ("VmRSS", "VmHWM"):
                        values[key] = int(rest.split()[0])
        except OSError:
            return None
        return values if len(values) == 2 else None

    def close(self, timeout):
        """Sends END and returns the exit status, killing the process if it does not end."""
        try:
            self.send("END")
            self.process.stdin.close()
        except (CheckFailed, OSError):
            pass
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None


def move_text(cell):
    return f"{cell[0]},{cell[1]}"


def makes_five(board, cell, stone):
    """True when `stone` on `cell` stands in a line of five or more of its own stones."""
    x, y = cell
    for dx, dy in DIRECTIONS:
        run = 1
        for sign in (1, -1):
            cx, cy = x + sign * dx, y + sign * dy
            while 0 <= cx < BOARD_SIZE and 0 <= cy < BOARD_SIZE and board.get((cx, cy)) == stone:
                run += 1
                cx, cy = cx + sign * dx, cy + sign * dy
        if run >= 5:
            return True
    return False


def random_opening(rng):
    """Two to four distinct stones of alternating colour in the 6x6 square at the centre."""
    count = rng.randint(2, 4)
    cells = rng.sample([(x, y) for x in range(7, 13) for y in range(7, 13)], count)
    return [(cell, index % 2) for index, cell in enumerate(cells)]


def board_block(moves, own_colour):
    """The BOARD block for the engine playing `own_colour` (1 its own stones, 2 the other's)."""
    lines = ["BOARD"]
    for cell, colour in moves:
        lines.append(f"{move_text(cell)},{1 if colour == own_colour else 2}")
    lines.append("DONE")
    return lines


def ask_move(engine, lines, board, read_timeout):
    """Sends the lines that give `engine` the turn and returns its checked move."""
    start = time.monotonic()
    engine.send(*lines)
    while True:
        line = engine.read_line(read_timeout)
        if line.startswith("MESSAGE "):
            engine.messages += 1
            continue
        break
    engine.move_times.append(time.monotonic() - start)
    match = MOVE_LINE.match(line)
    if not match:
        raise CheckFailed(f"{engine.label}: expected a move, got {line!r}")
    cell = (int(match.group(1)), int(match.group(2)))
    if not (cell[0] < BOARD_SIZE and cell[1] < BOARD_SIZE) or cell in board:
        raise CheckFailed(f"{engine.label}: played {line}, which is not a free cell")
    return cell


def start_game(engine, args, read_timeout):
    engine.send("START 20")
    answer = engine.read_line(read_timeout)
    if answer != "OK":
        raise CheckFailed(f"{engine.label}: answered {answer!r} to START 20")
    engine.send(f"INFO timeout_turn {args.turn_ms}")
    if args.threads:
        engine.send(f"INFO thread_num {args.threads}")
    if engine.depth is not None:
        engine.send(f"INFO max_depth {engine.depth}")
    if engine.nodes is not None:
        engine.send(f"INFO max_node {engine.nodes}")
    engine.history = []


def check_last_moves(engine, read_timeout):
    engine.send("DEBUG last_moves")
    answer = engine.read_line(read_timeout)
    expected = "DEBUG " + "".join(f"[{move_text(cell)}] " for cell in engine.history)
    if answer != expected:
        raise CheckFailed(f"{engine.label}: DEBUG last_moves gave {answer!r}, "
                          f"expected {expected!r}")


def play_game(first, second, rng, args, read_timeout):
    """Plays one game; returns the engine that won or None for a draw, and the move count."""
    for engine in (first, second):
        start_game(engine, args, read_timeout)
    opening = random_opening(rng)
    first_colour = len(opening) % 2
    colour_of = {first: first_colour, second: 1 - first_colour}
    board = {cell: colour for cell, colour in opening}
    moves = list(opening)
    unseen = {first: list(opening), second: list(opening)}
    to_move, other = first, second
    winner = None
    while len(board) < BOARD_SIZE * BOARD_SIZE:
        news = unseen[to_move]
        to_move.send(f"INFO time_left {args.time_left}")
        if len(to_move.history) == 0:
            lines = board_block(news, colour_of[to_move])
        else:
            assert len(news) == 1
            lines = [f"TURN {move_text(news[0][0])}"]
        to_move.history.extend(cell for cell, _ in news)
        cell = ask_move(to_move, lines, board, read_timeout)
        to_move.history.append(cell)
        colour = colour_of[to_move]
        board[cell] = colour
        moves.append((cell, colour))
        unseen[to_move] = []
        unseen[other].append((cell, colour))
        if makes_five(board, cell, colour):
            winner = to_move
            break
        to_move, other = other, to_move
    for engine in (first, second):
        check_last_moves(engine, read_timeout)
    return winner, len(moves) - len(opening)


def describe_times(engine, budget_ms):
    if not engine.move_times:
        return f"{engine.label}: no moves"
    worst = max(engine.move_times) * 1000
    median = statistics.median(engine.move_times) * 1000
    return (f"{engine.label}: max {worst:.0f} ms, median {median:.0f} ms, budget {budget_ms} ms"
            f" ({len(engine.move_times)} moves, {engine.messages} MESSAGE lines)")


def describe_memory(engines):
    parts = []
    for engine in engines:
        memory = engine.memory()
        if memory is None:
            parts.append(f"{engine.label} unknown")
        else:
            parts.append(f"{engine.label} VmRSS {memory['VmRSS']} kB VmHWM {memory['VmHWM']} kB")
    return ", ".join(parts)


def per_brain(parser, values, option):
    """The values of an option given once (both brains) or twice (A, then B); None where not given."""
    if len(values) > 2:
        parser.error(f"give {option} at most twice")
    return values * 2 if len(values) == 1 else values or [None, None]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--engine", action="append", default=[],
                        help="engine command line (give twice for two different engines)")
    parser.add_argument("--games", type=int, default=2)
    parser.add_argument("--turn-ms", type=int, default=300, help="sent as INFO timeout_turn")
    parser.add_argument("--time-left", type=int, default=NO_MATCH_LIMIT,
                        help="sent as INFO time_left before every move")
    parser.add_argument("--threads", type=int, default=0,
                        help="sent as INFO thread_num after START (not sent when 0)")
    parser.add_argument("--depth", type=int, action="append", default=[],
                        help="sent as INFO max_depth after START (give twice for A and B)")
    parser.add_argument("--nodes", type=int, action="append", default=[],
                        help="sent as INFO max_node after START (give twice for A and B)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--quiet", action="store_true", help="print the summary only")
    args = parser.parse_args()
    if not args.engine:
        parser.error("give --engine once or twice")
    commands = per_brain(parser, args.engine, "--engine")
    depths = per_brain(parser, args.depth, "--depth")
    nodes = per_brain(parser, args.nodes, "--nodes")

    budget_ms = max(0, min(args.turn_ms, args.time_left // 10))
    read_timeout = budget_ms / 1000 + 10
    rng = random.Random(args.seed)
    engines = [Engine(label, commands[i], depths[i], nodes[i]) for i, label in enumerate("AB")]
    wins = {(label, order): 0 for label in "AB" for order in ("first", "second")}
    draws = 0
    games_played = 0
    memory_first = memory_last = "not measured"
    errors = []

    try:
        for engine in engines:
            engine.send("ABOUT")
            engine.read_line(read_timeout)
        for game in range(args.games):
            first, second = engines if game % 2 == 0 else engines[::-1]
            winner, move_count = play_game(first, second, rng, args, read_timeout)
            games_played += 1
            if winner is None:
                draws += 1
                outcome = "draw"
            else:
                order = "first" if winner is first else "second"
                wins[winner.label, order] += 1
                outcome = f"{winner.label} ({order} to move) wins"
            if not args.quiet:
                print(f"game {game + 1}: {first.label} first, {outcome} after {move_count} moves",
                      flush=True)
            if game == 0:
                memory_first = describe_memory(engines)
            memory_last = describe_memory(engines)
    except CheckFailed as failure:
        errors.append(f"game {games_played + 1}: {failure}")

    for engine in engines:
        status = engine.close(read_timeout)
        if status is None:
            errors.append(f"{engine.label}: still running {read_timeout:.0f} s after END; killed")
        elif status != 0:
            errors.append(f"{engine.label}: exit status {status} after END (expected 0)")

    print(f"games: {games_played} of {args.games}, draws: {draws}")
    for label in "AB":
        first_wins, second_wins = wins[label, "first"], wins[label, "second"]
        print(f"wins {label}: {first_wins + second_wins} "
              f"({first_wins} moving first, {second_wins} moving second)")
    for engine in engines:
        print("move time " + describe_times(engine, budget_ms))
    print(f"memory after first game: {memory_first}")
    print(f"memory after last game: {memory_last}")
    print(f"errors: {len(errors)}")
    for error in errors:
        print(f"  {error}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
