// The page's rules and text forms (web/game.js), under Node's own test runner:
//
//     node --test tests/web/game_test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';

import {
  LEVELS, PASS, SIZE, boardBlock, boardOf, describeScore, formatLink, formatMoves, graphHeight,
  outcome, parseLink, parseMoves, parseReport, sideToMove, strengthSettings,
} from '../../web/game.js';

const moves = (text) => {
  const parsed = parseMoves(text);
  assert.equal(parsed.error, undefined, parsed.error);
  return parsed.moves;
};
const cells = (line) => line.map(({ x, y }) => `${x},${y}`).sort();

test('moves and passes: colours, the side to move, the engine\'s BOARD block', () => {
  const game = moves('10,10;11,11;-;12,12');
  const board = boardOf(game);
  assert.deepEqual([board[10 + SIZE * 10], board[11 + SIZE * 11], board[12 + SIZE * 12]], [1, 2, 2]);
  assert.equal(board.filter(Boolean).length, 3);
  assert.equal(sideToMove(game), 1);
  assert.equal(sideToMove([...game, PASS]), 2);
  // The side to move is always 1 to the engine.
  assert.equal(boardBlock(game), 'BOARD\n10,10,1\n11,11,2\n12,12,2\nDONE\n');
  assert.equal(boardBlock([...game, PASS]), 'BOARD\n10,10,2\n11,11,1\n12,12,1\nDONE\n');
  assert.equal(boardBlock([]), 'BOARD\nDONE\n');
});

test('move lists: read back as written, and every way a list can be wrong', () => {
  for (const text of ['', '0,0', '19,19;0,19;-;-;5,5', '9,9;-']) {
    assert.equal(formatMoves(moves(text)), text);
  }
  assert.deepEqual(moves(' 1,2  3,4;\n5,6 '), [{ x: 1, y: 2 }, { x: 3, y: 4 }, { x: 5, y: 6 }]);
  for (const [text, error] of [
    ['1,2;x', /not a cell/],
    ['1,2,1', /not a cell/],
    ['20,0', /off the board/],
    ['0,123', /not a cell/],
    ['4,4;5,5;04,4', /played twice/],
    ['0,0;1,0;0,1;1,1;0,2;1,2;0,3;1,3;0,4;5,5', /after the end/],
    ['0,0;1,0;0,1;1,1;0,2;1,2;0,3;1,3;0,4;-', /after the end/],
  ]) {
    assert.match(parseMoves(text).error ?? '', error, text);
  }
});

test('five or more in a row, in every direction and never across an edge', () => {
  const cases = [
    // black's five along a row, a column and both diagonals; white's along an edge
    ['0,0;0,1;1,0;1,1;2,0;2,1;3,0;3,1;4,0', 1, ['0,0', '1,0', '2,0', '3,0', '4,0']],
    ['5,5;6,5;5,6;6,6;5,7;6,7;5,8;6,8;5,9', 1, ['5,5', '5,6', '5,7', '5,8', '5,9']],
    ['2,2;0,9;3,3;0,10;4,4;0,11;5,5;0,12;6,6', 1, ['2,2', '3,3', '4,4', '5,5', '6,6']],
    ['10,4;0,0;9,5;0,2;8,6;0,4;7,7;0,6;6,8', 1, ['10,4', '6,8', '7,7', '8,6', '9,5']],
    ['5,5;19,15;6,6;19,16;7,7;19,17;8,8;19,18;3,3;19,19', 2, ['19,15', '19,16', '19,17', '19,18', '19,19']],
    // six in a row counts, with the last stone in its middle
    ['1,1;1,2;2,1;2,2;4,1;4,2;5,1;5,2;6,1;6,2;3,1', 1, ['1,1', '2,1', '3,1', '4,1', '5,1', '6,1']],
  ];
  for (const [text, winner, line] of cases) {
    const result = outcome(moves(text));
    assert.equal(result?.winner, winner, text);
    assert.deepEqual(cells(result.line), [...line].sort(), text);
  }
  // Four, a gap, and runs that would only meet by wrapping round the board's edge.
  for (const text of ['0,0;0,5;1,0;1,5;2,0;2,5;3,0;3,5;5,0', '17,0;0,5;18,0;1,5;19,0;2,5;0,1;3,5;1,1',
    '16,3;0,9;17,4;0,11;18,5;0,13;19,6;0,15;0,7']) {
    assert.equal(outcome(moves(text)), null, text);
  }
  // A pass after the five leaves the game over.
  assert.equal(outcome([...moves('0,0;0,1;1,0;1,1;2,0;2,1;3,0;3,1;4,0'), PASS]).winner, 1);
});

test('a full board without five is a draw', () => {
  const all = [];
  // Colours pair up along rows and alternate down columns: no five anywhere.
  const black = [];
  const white = [];
  for (let y = 0; y < SIZE; ++y) {
    for (let x = 0; x < SIZE; ++x) ((((x >> 1) + y) % 2 === 0) ? black : white).push({ x, y });
  }
  black.forEach((stone, i) => all.push(stone, white[i]));
  assert.deepEqual(outcome(all), { draw: true });
  assert.equal(outcome(all.slice(0, -1)), null);
});

test('links carry the moves and the settings, and drop what they cannot use', () => {
  const state = { moves: moves('9,9;10,10;-'), strength: 'level-3', side: 'second', mode: 'analysis' };
  const link = formatLink(state);
  assert.equal(link, 'moves=9,9;10,10;-&strength=level-3&side=second&mode=analysis');
  assert.deepEqual(parseLink(`#${link}`), state);
  assert.deepEqual(parseLink('#moves=9,9%3B10,10'), { moves: moves('9,9;10,10') });
  assert.deepEqual(parseLink('#strength=time-2000'), { moves: [], strength: 'time-2000' });
  assert.deepEqual(parseLink('#moves=1,1&strength=level-99&side=both&mode=x&junk'), { moves: moves('1,1') });
  assert.deepEqual(parseLink(''), { moves: [] });
  assert.match(parseLink('#moves=1,1;1,1').error, /played twice/);
  assert.equal(formatLink({ moves: [] }), '');
});

test('strengths: levels by nodes, rising evenly, and times per move', () => {
  assert.deepEqual(strengthSettings('level-1'), { timeoutTurn: 60000, maxNodes: LEVELS[0].nodes });
  assert.deepEqual(strengthSettings('time-500'), { timeoutTurn: 500, maxNodes: 0 });
  for (const text of ['level-0', `level-${LEVELS.length + 1}`, 'time-123', 'level-', '']) {
    assert.equal(strengthSettings(text), null, text);
  }
  const factors = LEVELS.slice(1).map((entry, i) => entry.nodes / LEVELS[i].nodes);
  assert.ok(factors.every((factor) => factor === factors[0]), factors.join(' '));
});

test('scores: evaluations and forced results, in words and on the graph', () => {
  const cases = [
    ['37', 'Tarn', '+37', 'good', 0],
    ['-8', 'Tarn', '−8', 'bad', 0],
    ['0', 'Tarn', '0', 'even', 0],
    ['W3', 'Tarn', 'Tarn wins (W3)', 'win', 1],
    ['L16', 'Tarn', 'Tarn loses (L16)', 'loss', -1],
    ['W5', 'White', 'White wins (W5)', 'win', 1],
  ];
  for (const [text, side, shown, kind, forced] of cases) {
    const score = describeScore(text, side);
    assert.deepEqual([score.text, score.kind, score.forced], [shown, kind, forced], text);
  }
  const height = (text, stone) => graphHeight(describeScore(text), stone);
  assert.equal(height('W7', 1), 1);
  assert.equal(height('W7', 2), -1);
  assert.equal(height('L2', 2), 1);
  assert.equal(height('0', 1), 0);
  // Evaluations keep their order and stay inside the forced results, however large.
  const values = [-30000, -500, -20, 0, 20, 500, 30000].map((value) => height(String(value), 1));
  assert.deepEqual([...values].sort((a, b) => a - b), values);
  assert.ok(Math.abs(values[0]) < 1 && values.at(-1) < 1);
  assert.equal(height('120', 2), -height('120', 1));
});

test('the search report line, as the page shows it', () => {
  const report = parseReport('MESSAGE 10; 12,10; -8; 4.09 M; 188.43 m; 21.7 M');
  assert.deepEqual(report.best, { x: 12, y: 10 });
  assert.deepEqual([report.depth, report.score.text, report.nodes, report.time, report.speed],
    [10, '−8', '4.09 M', '188.43 ms', '21.7 M/s']);
  const quick = parseReport('MESSAGE 4; 3,0; W3; 523 ; 1.2 u; inf', 'Black');
  assert.deepEqual([quick.nodes, quick.time, quick.speed, quick.score.text], ['523', '1.2 µs', '—', 'Black wins (W3)']);
  for (const line of ['MESSAGE hello', 'MESSAGE 4; 3,0; 0; 1; 2', 'MESSAGE x; 3,0; 0; 1; 2; 3', '9,9', 'OK']) {
    assert.equal(parseReport(line), null, line);
  }
});
