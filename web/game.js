// The rules of the game as the page applies them, and the text forms it shares with the engine:
// cells as "x,y", move lists and links, five or more in a row, the engine's search report line,
// and the levels.

export const SIZE = 20;

// A game is a list of moves, black's first and then alternating: { x, y } puts a stone, PASS
// puts none. Passes come from the analysis board, where stones of either colour go anywhere: two
// stones of one colour in a row have a pass between them, and a pass at the end gives the move
// to the other side.
export const PASS = Object.freeze({ pass: true });

// The stone of the side that makes move `index`: 1 black, 2 white.
export const stoneOfMove = (index) => (index % 2) + 1;
export const sideToMove = (moves) => stoneOfMove(moves.length);

// A board is SIZE * SIZE entries indexed by x + SIZE * y: 0 empty, 1 the first player's (black)
// stone, 2 the second player's (white).
export function boardOf(moves) {
  const board = new Uint8Array(SIZE * SIZE);
  moves.forEach(({ x, y, pass }, i) => pass || (board[x + SIZE * y] = stoneOfMove(i)));
  return board;
}

// The stones of a position as a BOARD block gives them to the engine, which always plays as 1:
// "x,y,1" for the side to move, "x,y,2" for the other, in the order they were put.
export function boardBlock(moves) {
  const mover = sideToMove(moves);
  const stones = moves.flatMap(({ x, y, pass }, i) =>
    pass ? [] : [`${x},${y},${stoneOfMove(i) === mover ? 1 : 2}`]);
  return `BOARD\n${stones.map((line) => `${line}\n`).join('')}DONE\n`;
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

// How the game stands after its moves: { winner: 1 or 2, line } once a stone made five, { draw }
// on a full board, otherwise null. Only the last stone put can have made five: no move follows
// the end of a game.
export function outcome(moves) {
  const board = boardOf(moves);
  let last = moves.length - 1;
  while (last >= 0 && moves[last].pass) --last;
  if (last < 0) return null;
  const { x, y } = moves[last];
  const line = fiveThrough(board, x, y);
  if (line) return { winner: board[x + SIZE * y], line };
  if (!board.includes(0)) return { draw: true };
  return null;
}

export const formatMoves = (moves, separator = ';') =>
  moves.map(({ x, y, pass }) => (pass ? '-' : `${x},${y}`)).join(separator);

// Reads a move list "x,y;x,y;..." with "-" for a pass (blanks also separate). Returns the moves,
// or an error text when a cell is malformed, off the board or taken, or a move follows the end
// of the game.
export function parseMoves(text) {
  const moves = [];
  const taken = new Set();
  for (const word of text.split(/[;\s]+/).filter(Boolean)) {
    if (outcome(moves)) return { error: `${word} comes after the end of the game` };
    if (word === '-') {
      moves.push(PASS);
      continue;
    }
    const match = /^(\d{1,2}),(\d{1,2})$/.exec(word);
    if (!match) return { error: `"${word}" is not a cell x,y` };
    const x = Number(match[1]);
    const y = Number(match[2]);
    if (!onBoard(x, y)) return { error: `${word} is off the board` };
    if (taken.has(`${x},${y}`)) return { error: `${word} is played twice` };
    taken.add(`${x},${y}`);
    moves.push({ x, y });
  }
  return { moves };
}

// Tarn's strength: a level is a budget of nodes per move, which gives the same move on every
// device, fast or slow; its time limit is only a safety net. The budgets grow by the same factor
// from level to level, 25, the least of those tried with which each level won at least 70 % of
// its games against the one below (bench/RESULTS.md). The other choice is a time per move,
// which a faster device turns into a deeper search.
export const LEVELS = [
  { level: 1, nodes: 1_000 },
  { level: 2, nodes: 25_000 },
  { level: 3, nodes: 625_000 },
  { level: 4, nodes: 15_625_000 },
];
export const LEVEL_SAFETY_MS = 60_000;
export const TIMES_MS = [500, 1000, 2000, 5000];
export const DEFAULT_STRENGTH = 'level-3';

// The engine's settings for a strength, "level-N" or "time-MS"; null for any other text.
export function strengthSettings(strength) {
  const level = /^level-(\d+)$/.exec(strength);
  const found = level && LEVELS.find((entry) => entry.level === Number(level[1]));
  if (found) return { timeoutTurn: LEVEL_SAFETY_MS, maxNodes: found.nodes };
  const time = /^time-(\d+)$/.exec(strength);
  if (time && TIMES_MS.includes(Number(time[1]))) return { timeoutTurn: Number(time[1]), maxNodes: 0 };
  return null;
}

// The page's state in its address: "#moves=x,y;...&strength=level-3&side=second&mode=analysis".
// Every part is optional; the moves come first so that older links still open.
export function formatLink({ moves, strength, side, mode }) {
  const parts = [];
  if (moves.length) parts.push(`moves=${formatMoves(moves)}`);
  if (strength) parts.push(`strength=${strength}`);
  if (side) parts.push(`side=${side}`);
  if (mode) parts.push(`mode=${mode}`);
  return parts.join('&');
}

// Reads what formatLink writes (with or without the leading "#"). Unknown or malformed settings
// are left out; moves that cannot be played give { error }.
export function parseLink(hash) {
  const fields = new Map();
  for (const part of hash.replace(/^#/, '').split('&')) {
    const equals = part.indexOf('=');
    if (equals > 0) fields.set(part.slice(0, equals), decodeURIComponent(part.slice(equals + 1)));
  }
  const parsed = parseMoves(fields.get('moves') ?? '');
  if (parsed.error) return parsed;
  const link = { moves: parsed.moves };
  const strength = fields.get('strength');
  if (strength && strengthSettings(strength)) link.strength = strength;
  if (['first', 'second'].includes(fields.get('side'))) link.side = fields.get('side');
  if (['play', 'analysis'].includes(fields.get('mode'))) link.mode = fields.get('mode');
  return link;
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

// What a score means, from the side the engine searched for (`side`, Tarn when it plays): "W3"
// is a forced win, its decisive value passed up through about 3 plies; "L8" a forced loss; a
// plain number is the evaluation. `forced` is +1 or -1 for a forced win or loss, `value` the
// number either way.
export function describeScore(text, side = 'Tarn') {
  const forced = /^([WL])(-?\d+)$/.exec(text);
  if (forced) {
    const plies = forced[2];
    const win = forced[1] === 'W';
    return {
      text: `${side} ${win ? 'wins' : 'loses'} (${text})`,
      kind: win ? 'win' : 'loss',
      title: `a forced ${win ? 'win' : 'loss'} for ${side}, about ${plies} plies ahead`,
      forced: win ? 1 : -1,
      value: Number(plies),
    };
  }
  const value = Number(text);
  return {
    text: value > 0 ? `+${value}` : value < 0 ? `−${-value}` : '0',
    kind: value > 0 ? 'good' : value < 0 ? 'bad' : 'even',
    title: `evaluation from ${side}'s side: above 0 favours ${side}`,
    forced: 0,
    value,
  };
}

// Where an evaluation stands on the graph, from -1 (lost for black) to +1 (won for black): the
// score of a search for `stone` (1 black, 2 white), squeezed so that the usual scores of a few
// hundred spread over most of the height, and forced results at the very edges.
export function graphHeight(score, stone) {
  const sign = stone === 1 ? 1 : -1;
  if (score.forced) return sign * score.forced;
  return sign * 0.9 * Math.tanh(score.value / 300);
}

// One "MESSAGE depth; x,y; score; nodes; seconds; speed" line of the engine's search report, in
// the units a reader expects, or null for any other line.
export function parseReport(line, side = 'Tarn') {
  if (!line.startsWith('MESSAGE ')) return null;
  const fields = line.slice(8).split('; ');
  if (fields.length !== 6) return null;
  const move = /^(\d+),(\d+)$/.exec(fields[1]);
  if (!/^\d+$/.test(fields[0]) || !move) return null;
  return {
    depth: Number(fields[0]),
    best: { x: Number(move[1]), y: Number(move[2]) },
    score: describeScore(fields[2].trim(), side),
    nodes: prefixed(fields[3], '').trim(),
    time: prefixed(fields[4], 's'),
    speed: prefixed(fields[5], '/s'),
  };
}
