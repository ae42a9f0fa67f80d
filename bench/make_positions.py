#!/usr/bin/env python3
"""Builds the bench suite from real play: the engine plays itself from varied openings (near
the centre, along an edge, in a corner), and positions are taken from those games at several
stages, each written from the view of the side to move (1 its own stones, 2 the opponent's).
Besides openings and middle games the suite gets positions just after a four (a five to block)
and positions a few plies before a game was won (a forced win to find).

    bench/make_positions.py --engine build/pbrain-tarn > bench/positions.txt
"""

import argparse
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import selfplay  # noqa: E402


def opening(rng, kind):
    """Two to four stones of alternating colour near the centre, an edge or a corner."""
    if kind == "centre":
        square = [(x, y) for x in range(7, 13) for y in range(7, 13)]
    elif kind == "edge":
        square = [(x, y) for x in range(7, 13) for y in range(0, 3)]
    else:
        square = [(x, y) for x in range(16, 20) for y in range(16, 20)]
    cells = rng.sample(square, rng.randint(2, 4))
    return [(cell, index % 2) for index, cell in enumerate(cells)]


def play(engines, moves, args):
    """Plays on from `moves` until five in a row or a full board; returns the move list."""
    board = {cell: colour for cell, colour in moves}
    colours = [len(moves) % 2, 1 - len(moves) % 2]
    for engine in engines:
        selfplay.start_game(engine, args, 30)
    given = [0, 0]
    turn = 0
    while len(board) < selfplay.BOARD_SIZE ** 2:
        engine = engines[turn]
        if given[turn] == 0:
            lines = selfplay.board_block(moves, colours[turn])
        else:
            lines = [f"TURN {selfplay.move_text(moves[-1][0])}"]
        given[turn] = len(moves)
        cell = selfplay.ask_move(engine, lines, board, 30)
        board[cell] = colours[turn]
        moves.append((cell, colours[turn]))
        given[turn] = len(moves)
        if selfplay.makes_five(board, cell, colours[turn]):
            break
        turn = 1 - turn
    return moves


def position_line(moves, note):
    """The stones before the side to move plays, from that side's view."""
    to_move = len(moves) % 2
    stones = " ".join(f"{x},{y},{1 if colour == to_move else 2}" for (x, y), colour in moves)
    return f"# {note}, {len(moves)} stones\n{stones}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--engine", default="build/pbrain-tarn")
    parser.add_argument("--turn-ms", type=int, default=200)
    parser.add_argument("--seed", type=int, default=2026)
    args = parser.parse_args()
    args.time_left = selfplay.NO_MATCH_LIMIT
    rng = random.Random(args.seed)
    engines = [selfplay.Engine("A", args.engine), selfplay.Engine("B", args.engine)]
    lines = []
    for game, kind in enumerate(["centre", "centre", "edge", "corner", "centre", "edge"]):
        moves = play(engines, opening(rng, kind), args)
        won = len(moves) < selfplay.BOARD_SIZE ** 2
        for stones in (4, 9, 16, 25, 36):
            if stones < len(moves) - 6:
                lines.append(position_line(moves[:stones], f"game {game + 1} ({kind} opening)"))
        if won:
            lines.append(position_line(moves[:-2], f"game {game + 1}: a four to block"))
            lines.append(position_line(moves[:-5], f"game {game + 1}: the winner to move, "
                                       "five plies before the five"))
    for engine in engines:
        engine.send("END")
    print("# The bench suite: one position a line, stones x,y,who in the order they were placed;")
    print("# who 1 is the side to move. Made by bench/make_positions.py from self-play games.")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
