// The rules of the game as the page applies them, and the text forms it shares with the engine:
// cells as "x,y", move lists, five or more in a row, and the engine's search report line.

export const SIZE = 20;

// A board is SIZE * SIZE entries indexed by x + SIZE * y: 0 empty, 1 the first player's (black)
// stone, 2 the second player's (white).
export function boardOf(moves) {
  const board = new Uint8Array(SIZE * SIZE);
  moves.forEach(({ x, y }, i) => (board[x + SIZE * y] = (i % 2) + 1));
  return board;
}

export const onBoard = (x, y) => x >= 0 && x < SIZE && y >= 0 && y < SIZE;

// The run of stones of one colour through (x, y) that makes five or more, as a list of cells, or
// null when the stone there completes no such run.
export function fiveThrough(board, x, y) {
  const stone = board[x + SIZE * y];
  if (!stone) return null;
  for (const [dx, dy] of [[1, 0], [0, 1], [1, 1], [1, -1]]) {
    const run = [{ x, y }];
    for (const sign of [1, -1]) {
      let cx = x + sign * dx;
      let cy = y + sign * dy;
      while (onBoard(cx, cy) && board[cx + SIZE * cy] === stone) {
        run.push({ x: cx, y: cy });
        cx += sign * dx;
        cy += sign * dy;
      }
    }
    if (run.length >= 5) return run;
  }
  return null;
}

// How the game stands after its moves: { winner: 1 or 2, line } once a move made five, { draw }
// on a full board, otherwise null.
export function outcome(moves) {
  if (!moves.length) return null;
  const board = boardOf(moves);
  const last = moves[moves.length - 1];
  const line = fiveThrough(board, last.x, last.y);
  if (line) return { winner: board[last.x + SIZE * last.y], line };
  if (moves.length === SIZE * SIZE) return { draw: true };
  return null;
}

export const formatMoves = (moves, separator = ';') =>
  moves.map(({ x, y }) => `${x},${y}`).join(separator);

// Reads a move list "x,y;x,y;..." (blanks also separate). Returns the moves, or an error text
// when a cell is malformed, off the board or taken, or a move follows the end of the game.
export function parseMoves(text) {
  const moves = [];
  const taken = new Set();
  for (const word of text.split(/[;\s]+/).filter(Boolean)) {
    const match = /^(\d{1,2}),(\d{1,2})$/.exec(word);
    if (!match) return { error: `"${word}" is not a cell x,y` };
    const x = Number(match[1]);
    const y = Number(match[2]);
    if (!onBoard(x, y)) return { error: `${word} is off the board` };
    if (taken.has(word)) return { error: `${word} is played twice` };
    if (outcome(moves)) return { error: `${word} comes after the end of the game` };
    taken.add(word);
    moves.push({ x, y });
  }
  return { moves };
}

// The metric prefixes of the report's numbers, with "u" shown as the micro sign.
const PREFIXES = { a: 'a', f: 'f', p: 'p', n: 'n', u: 'µ', m: 'm', k: 'k', M: 'M', G: 'G', T: 'T' };

// A number as the engine prints it ("1.23 M", "523 ") with its unit. A browser's clock may be too
// coarse to see a short iteration take any time: its speed then prints as "inf" and shows as a
// dash.
function prefixed(text, unit) {
  const match = /^(\d[\d.e+-]*) ?(\S?)\s*$/.exec(text);
  if (!match) return '—';
  const prefix = match[2] ? PREFIXES[match[2]] ?? match[2] : '';
  return `${match[1]} ${prefix}${unit}`;
}

// What a score means, from the engine's side: "W3" is a forced win, its decisive value passed up
// through about 3 plies; "L8" a forced loss; a plain number is the evaluation.
export function describeScore(text) {
  const forced = /^([WL])(-?\d+)$/.exec(text);
  if (forced) {
    const plies = forced[2];
    return forced[1] === 'W'
      ? { text: `Tarn wins (${text})`, kind: 'win', title: `a forced win for Tarn, about ${plies} plies ahead` }
      : { text: `Tarn loses (${text})`, kind: 'loss', title: `a forced loss for Tarn, about ${plies} plies ahead` };
  }
  const value = Number(text);
  return {
    text: value > 0 ? `+${value}` : value < 0 ? `−${-value}` : '0',
    kind: value > 0 ? 'good' : value < 0 ? 'bad' : 'even',
    title: 'evaluation from Tarn\'s side: above 0 favours Tarn',
  };
}

// One "MESSAGE depth; x,y; score; nodes; seconds; speed" line of the engine's search report, in
// the units a reader expects, or null for any other line.
export function parseReport(line) {
  if (!line.startsWith('MESSAGE ')) return null;
  const fields = line.slice(8).split('; ');
  if (fields.length !== 6) return null;
  const move = /^(\d+),(\d+)$/.exec(fields[1]);
  if (!/^\d+$/.test(fields[0]) || !move) return null;
  return {
    depth: Number(fields[0]),
    best: { x: Number(move[1]), y: Number(move[2]) },
    score: describeScore(fields[2].trim()),
    nodes: prefixed(fields[3], '').trim(),
    time: prefixed(fields[4], 's'),
    speed: prefixed(fields[5], '/s'),
  };
}
