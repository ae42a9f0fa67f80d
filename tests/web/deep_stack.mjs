// The WebAssembly brain driven through its deepest searches with Emscripten's stack-overflow
// checks on (build-web/checks/, linked by app/CMakeLists.txt): every move of the stack pointer is
// checked against the stack's end, so a stack too small aborts the brain instead of silently
// overwriting memory. The same brain linked with Emscripten's 64 KiB default must abort on the
// same searches, or they would prove nothing.
//
//     node --test tests/web/deep_stack.mjs            (after make web)
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { test } from 'node:test';

const SIZE = 20;

// A nearly full board on which no run of five holds stones of one colour only (the colours pair
// up along rows and alternate down columns), with `holes` left empty. Lines end when the board
// is full, so the search gets through its deepest iterations in a moment; every hole is a ply.
function crowdedBoard(holes) {
  const empty = new Set(holes.split(';'));
  const stones = [];
  for (let y = 0; y < SIZE; ++y) {
    for (let x = 0; x < SIZE; ++x) {
      if (!empty.has(`${x},${y}`)) stones.push(`${x},${y},${(((x >> 1) + y) % 2) + 1}`);
    }
  }
  return stones;
}

const search = (limit, stones) => ['START 20', limit, 'BOARD', ...stones, 'DONE'];

// The depth-42 iteration on a board with 14 holes: every line that makes no five is 14 plies
// long and runs through the deepest nodes of the chain, in well under a second. Then one stone
// on an open board, searched for 20 million nodes: through depth 10 and into depth 12, the
// nodes nearest the leaves under the most candidates.
const session = [
  'INFO timeout_turn 60000',
  'INFO time_left 2147483647',
  ...search('INFO max_node 0', crowdedBoard('3,0;5,0;1,1;12,1;19,3;6,7;7,7;13,13;2,14;14,14;10,16;11,16;10,17;16,18')),
  ...search('INFO max_node 20000000', ['10,10,2']),
  'END',
].join('\n') + '\n';

function runProbe(name) {
  const run = spawnSync('node', [`build-web/checks/stack-probe-${name}.js`], {
    input: session, encoding: 'utf8', timeout: 120_000,
  });
  const depths = [...run.stdout.matchAll(/^MESSAGE (\d+);/gm)].map((m) => Number(m[1]));
  const used = /^Stack used: (\d+) of (\d+) bytes$/m.exec(run.stderr);
  return { run, depths, used: used && { bytes: Number(used[1]), of: Number(used[2]) } };
}

test('the deepest searches fit the stack the programs are linked with', () => {
  const { run, depths, used } = runProbe('checked');
  assert.equal(run.status, 0, `${run.stderr}`);
  assert.doesNotMatch(run.stderr, /overflow|Abort/i);
  // Depth 42 on the crowded board, then the open board through depth 10.
  assert.ok(depths.includes(42) && depths.lastIndexOf(10) > depths.indexOf(42), `iterations: ${depths.join(' ')}`);
  assert.ok(used, run.stderr);
  console.log(`deepest stack: ${used.bytes} of ${used.of} bytes`);
  // The deepest lines here are 14 plies of the 42 the chain can have; a line of 42 needs about
  // three times this (bench/RESULTS.md).
  assert.ok(used.bytes * 4 < used.of, `${used.bytes} of ${used.of} bytes`);
});

test("Emscripten's 64 KiB default stack overflows on the same searches", () => {
  const { run, used } = runProbe('small');
  assert.notEqual(run.status, 0, 'the brain with a 64 KiB stack got through');
  assert.match(run.stderr, /stack overflow/i);
  assert.equal(used, null);
});
