// The page in a real browser: Debian's Chromium, headless, driven by playwright-core, loads the
// page from the local server and plays against the WebAssembly engine in its Web Worker.
//
//     TARN_SIGNATURE=N node tests/web/browser_test.mjs [build-web]
//
// TARN_SIGNATURE is the native bench's signature, which the bench in the browser must give too;
// build/pbrain-tarn is the native brain whose moves a level game must repeat. Screenshots are
// saved in the build folder's screenshots/.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs/promises';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { LEVELS, boardBlock, parseLink, strengthSettings } from '../../web/game.js';
import { serve } from '../../web/serve.mjs';
import { launchChromium } from './chromium.mjs';

const folder = path.resolve(process.argv[2] ?? 'build-web');
const shots = path.join(folder, 'screenshots');
const THINK_MS = 500;
// What an answer may take beyond the engine's own time: the worker's messages and the page's
// drawing, on a shared two-core machine.
const MARGIN_MS = 2500;
const SIZE = 20;

let browser;
let server;
let base;

before(async () => {
  ({ server, url: base } = await serve(folder));
  browser = await launchChromium();
  await fs.mkdir(shots, { recursive: true });
});

after(async () => {
  await browser?.close();
  server?.close();
});

// A new page that records every script error and console error, to be checked at the end.
async function openPage(url, options = {}) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 860 }, ...options });
  const page = await context.newPage();
  page.problems = [];
  page.on('pageerror', (error) => page.problems.push(error.message));
  page.on('console', (message) => message.type() === 'error' && page.problems.push(message.text()));
  await page.goto(url);
  return page;
}

const cell = ({ x, y }) => `.cell[data-x="${x}"][data-y="${y}"]`;
const key = ({ x, y }) => `${x},${y}`;
const linkOf = (page) => parseLink(new URL(page.url()).hash);
// The game on the page, as its link carries it.
const movesOf = (page) => linkOf(page).moves;
const statusOf = (page) => page.textContent('#status-text');
const waitForStatus = (page, pattern, timeout = 30_000) => page.waitForFunction(
  (source) => new RegExp(source).test(document.getElementById('status-text').textContent),
  pattern.source, { timeout });
const waitForMoves = (page, n, timeout) => page.waitForFunction(
  (count) => (/moves=([^&]*)/.exec(location.hash)?.[1].split(';').length ?? 0) === count, n, { timeout });
const cellsWith = (page, selector) =>
  page.$$eval(selector, (els) => els.map((el) => `${el.dataset.x},${el.dataset.y}`).sort());

// The player's move: the free cell next to the most stones of the engine in one line (so its
// threats get blocked), nearest the centre on ties.
function chooseMove(moves, engineParity) {
  const board = new Map(moves.map((m, i) => [key(m), i % 2 === engineParity ? 'e' : 'p']));
  let best = null;
  for (let y = 0; y < SIZE; ++y) {
    for (let x = 0; x < SIZE; ++x) {
      if (board.has(key({ x, y }))) continue;
      let score = 0;
      for (const [dx, dy] of [[1, 0], [0, 1], [1, 1], [1, -1]]) {
        let run = 0;
        for (const sign of [1, -1]) {
          for (let k = 1; board.get(key({ x: x + sign * k * dx, y: y + sign * k * dy })) === 'e'; ++k) ++run;
        }
        score = Math.max(score, run);
      }
      const rank = score * 100 - Math.abs(x - 9.5) - Math.abs(y - 9.5);
      if (!best || rank > best.rank) best = { x, y, rank };
    }
  }
  return { x: best.x, y: best.y };
}

test('a game played by clicking: legal answers in time, a live report, a take-back, the graph', { timeout: 180_000 }, async () => {
  const page = await openPage(base);
  await page.selectOption('#strength', `time-${THINK_MS}`);
  await waitForStatus(page, /^Your move/);
  // Each report row is noted with whether the engine was still thinking when it arrived.
  await page.evaluate(() => {
    window.reportRows = [];
    new MutationObserver(() => {
      const thinking = document.getElementById('board').classList.contains('thinking') &&
        document.getElementById('status').classList.contains('busy');
      const row = document.querySelector('#report tbody tr');
      if (row) window.reportRows.push({ thinking, cells: [...row.cells].map((c) => c.textContent) });
    }).observe(document.querySelector('#report tbody'), { childList: true });
  });

  let played = 0;
  let tookBack = false;
  let clickedWhileThinking = 0;
  let searched = 0;
  while (played < 6) {
    const before = movesOf(page);
    const mine = chooseMove(before, 1);
    const started = Date.now();
    await page.click(cell(mine));
    // A click while the engine thinks does nothing. An immediate answer (a forced block) may
    // come before the test gets to click, so the click is made only while the page thinks.
    const idle = { x: 0, y: SIZE - 1 - played };
    clickedWhileThinking += await page.$eval(cell(idle), (el) => {
      if (!document.getElementById('board').classList.contains('thinking')) return 0;
      el.click();
      return 1;
    });
    await waitForMoves(page, before.length + 2, THINK_MS + MARGIN_MS + 5000);
    const elapsed = Date.now() - started;
    assert.ok(elapsed <= THINK_MS + MARGIN_MS, `the answer took ${elapsed} ms`);
    if (await page.$('#report tbody tr')) ++searched;

    const moves = movesOf(page);
    assert.deepEqual(moves.slice(0, -1), [...before, mine]);
    const answer = moves.at(-1);
    assert.ok(answer.x >= 0 && answer.x < SIZE && answer.y >= 0 && answer.y < SIZE, key(answer));
    assert.ok(![...before, mine].some((m) => key(m) === key(answer)), `${key(answer)} was taken`);
    assert.equal(await page.getAttribute(cell(answer), 'data-stone'), 'white');
    assert.ok(await page.$eval(cell(answer), (el) => el.classList.contains('last')));
    assert.match(await page.getAttribute(cell(answer), 'aria-label'), new RegExp(`^${key(answer)}, white stone, last move$`));
    assert.equal(await page.getAttribute(cell(idle), 'data-stone'), null);
    assert.match(await statusOf(page), /^Your move/);
    // Nor does a click on a taken point.
    await page.click(cell(answer));
    assert.equal(movesOf(page).length, moves.length);
    assert.match(await statusOf(page), /^Your move/);
    ++played;

    if (played === 3 && !tookBack) {
      await page.click('#take-back');
      assert.deepEqual(movesOf(page), before);
      assert.equal(await page.getAttribute(cell(mine), 'data-stone'), null);
      tookBack = true;
      played -= 1;
      searched = Math.min(searched, before.length / 2);
    }
  }
  assert.ok(tookBack);
  assert.ok(clickedWhileThinking > 0, 'never clicked while the engine thought');

  const rows = await page.evaluate(() => window.reportRows);
  assert.ok(rows.length >= 6, `${rows.length} report rows`);
  assert.ok(rows.some((row) => row.thinking), 'no report row arrived while the engine thought');
  for (const [depth, best, score, nodes, time, speed] of rows.map((row) => row.cells)) {
    assert.ok(Number(depth) >= 4 && Number(depth) % 2 === 0, `depth ${depth}`);
    assert.match(best, /^\d{1,2},\d{1,2}$/);
    assert.match(score, /^([+−]?\d+|Tarn (wins|loses) \([WL]-?\d+\))$/);
    assert.match(nodes, /^\d+(\.\d+)? ?[kMG]?$/);
    assert.match(time, /^\d+(\.\d+)? [µm]?s$/);
    assert.match(speed, /^(\d+(\.\d+)? [kMG]\/s|—|\d+(\.\d+)? \/s)$/);
  }

  // The graph: one point for every move Tarn searched, at the position it searched (after an
  // odd number of moves, as Tarn plays white), inside the drawing.
  const points = await page.$$eval('#graph circle.point', (els) => els.map((el) => ({
    index: Number(el.dataset.index), cy: Number(el.getAttribute('cy')),
  })));
  assert.equal(points.length, searched, JSON.stringify(points));
  assert.ok(points.length >= 3, `${points.length} points`);
  for (const { index, cy } of points) {
    assert.equal(index % 2, 1);
    assert.ok(cy >= 0 && cy <= 100, `${cy}`);
  }
  await page.mouse.move(0, 0);
  await page.screenshot({ path: path.join(shots, 'desktop.png') });
  assert.deepEqual(page.problems, []);
});

test('links one move from a five: the win is detected and shown', { timeout: 60_000 }, async () => {
  // Black (the player, to move) has four in a row open at 9,5.
  const page = await openPage(`${base}#moves=5,5;5,7;6,5;6,7;7,5;7,7;8,5;12,12`);
  await waitForStatus(page, /^Your move/);
  await page.click(cell({ x: 9, y: 5 }));
  assert.match(await statusOf(page), /You win/);
  assert.deepEqual(await cellsWith(page, '.cell.win'), ['5,5', '6,5', '7,5', '8,5', '9,5']);
  await page.click(cell({ x: 15, y: 15 }));
  assert.equal(movesOf(page).length, 9, 'a move was taken after the game ended');

  // White (the engine) has an open four; the player plays elsewhere and the engine makes five.
  await page.goto(`${base}#moves=0,0;5,10;0,2;6,10;0,4;7,10;0,6;8,10`);
  await page.waitForFunction(() => document.querySelectorAll('.cell[data-stone]').length === 8);
  await page.click(cell({ x: 15, y: 15 }));
  await waitForStatus(page, /Tarn wins/, 60_000 + MARGIN_MS);
  const five = await cellsWith(page, '.cell.win');
  assert.equal(five.length, 5);
  assert.ok(five.includes('4,10') || five.includes('9,10'), five.join(' '));
  assert.deepEqual(page.problems, []);
});

test('by touch at phone width, and by keyboard', { timeout: 60_000 }, async () => {
  const page = await openPage(`${base}#strength=time-1000`, {
    viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true, deviceScaleFactor: 2,
  });
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 390, `the page is ${width} px wide`);
  await waitForStatus(page, /^Your move/);
  await page.tap(cell({ x: 9, y: 9 }));
  await waitForMoves(page, 2, 60_000 + MARGIN_MS);
  assert.equal(await page.getAttribute(cell({ x: 9, y: 9 }), 'data-stone'), 'black');
  await waitForStatus(page, /^Your move/);

  // The board is one stop for Tab; the arrows walk it from where the last stone went.
  await page.focus(cell({ x: 9, y: 9 }));
  for (const arrow of ['ArrowUp', 'ArrowUp', 'ArrowLeft', 'ArrowLeft', 'ArrowLeft', 'ArrowDown']) {
    await page.keyboard.press(arrow);
  }
  assert.deepEqual(await page.evaluate(() => [document.activeElement.dataset.x, document.activeElement.dataset.y]), ['6', '8']);
  assert.deepEqual(await page.$$eval('.cell[tabindex="0"]', (els) => els.length), 1);
  await page.keyboard.press('Enter');
  await waitForMoves(page, 4, 60_000 + MARGIN_MS);
  assert.equal(await page.getAttribute(cell({ x: 6, y: 8 }), 'data-stone'), 'black');
  assert.match(await page.getAttribute(cell({ x: 6, y: 8 }), 'aria-label'), /^6,8, black stone/);
  await waitForStatus(page, /^Your move/);
  await page.screenshot({ path: path.join(shots, 'phone.png'), fullPage: true });
  assert.deepEqual(page.problems, []);
});

test('the analysis board: stones of either colour, a live search ringing its best move, stop', { timeout: 120_000 }, async () => {
  const page = await openPage(`${base}#moves=9,9;10,10;10,9;11,9&strength=time-1000&side=first&mode=analysis`);
  await page.waitForFunction(() => document.querySelectorAll('.cell[data-stone]').length === 4);
  // Two white stones in a row: a pass between them; black is to move.
  await page.check('input[name=place][value=white]', { force: true });
  await page.click(cell({ x: 9, y: 11 }));
  await page.click(cell({ x: 8, y: 9 }));
  assert.equal(await page.getAttribute(cell({ x: 9, y: 11 }), 'data-stone'), 'white');
  assert.equal(await page.getAttribute(cell({ x: 8, y: 9 }), 'data-stone'), 'white');
  assert.equal(linkOf(page).mode, 'analysis');
  assert.deepEqual(movesOf(page).map((move) => (move.pass ? '-' : key(move))),
    ['9,9', '10,10', '10,9', '11,9', '-', '9,11', '-', '8,9']);

  // The search goes on by itself: each report row rings its best move.
  await page.waitForFunction(() => document.querySelectorAll('#report tbody tr').length >= 3, null, { timeout: 60_000 });
  const ring = await page.evaluate(() => {
    const best = document.querySelector('#report tbody tr').cells[1].textContent;
    const ringed = [...document.querySelectorAll('.cell.hint')].map((el) => `${el.dataset.x},${el.dataset.y}`);
    return { best, ringed, thinking: document.getElementById('board').classList.contains('thinking') };
  });
  assert.ok(ring.thinking, 'the search ended before its third iteration was read');
  assert.deepEqual(ring.ringed, [ring.best]);
  assert.match(await statusOf(page), /^Black to move: Tarn is searching/);
  assert.match(await page.textContent('#report tbody tr td:nth-child(3)'), /^([+−]?\d+|Black (wins|loses) .*)$/);
  await page.mouse.move(0, 0);
  await page.screenshot({ path: path.join(shots, 'analysis.png') });

  // Stop: the search ends at once, its last best move stays ringed, no row comes after.
  await page.click('#analyse');
  const rows = await page.$$eval('#report tbody tr', (els) => els.length);
  const best = await page.textContent('#report tbody tr td:nth-child(2)');
  assert.match(await statusOf(page), new RegExp(`^Stopped at depth \\d+: best ${best}`));
  assert.equal(await page.textContent('#analyse'), 'Search');
  assert.deepEqual(await cellsWith(page, '.cell.hint'), [best]);
  await page.waitForTimeout(1500);
  assert.equal(await page.$$eval('#report tbody tr', (els) => els.length), rows);
  assert.ok(!(await page.$eval('#board', (el) => el.classList.contains('thinking'))));

  // Take back removes the last stone with its pass. Back to play, the player has the side to
  // move (black) and Tarn answers as white.
  await page.click('#undo');
  assert.equal(movesOf(page).length, 6);
  await page.check('input[name=mode][value=play]', { force: true });
  await waitForStatus(page, /^Your move \(black\)/);
  assert.equal(linkOf(page).side, 'first');
  await page.click(cell({ x: 12, y: 12 }));
  await waitForMoves(page, 8, 60_000 + MARGIN_MS);
  assert.equal(await page.getAttribute(cell(movesOf(page).at(-1)), 'data-stone'), 'white');
  assert.deepEqual(page.problems, []);
});

test('a level plays the native brain\'s moves under the same node budget', { timeout: 180_000 }, async () => {
  const level = LEVELS[2];
  const strength = `level-${level.level}`;
  const page = await openPage(`${base}#strength=${strength}&side=first`);
  await waitForStatus(page, /^Your move/);
  for (let turn = 0; turn < 5; ++turn) {
    const before = movesOf(page);
    await page.click(cell(chooseMove(before, 1)));
    await waitForMoves(page, before.length + 2, 60_000 + MARGIN_MS);
  }
  const moves = movesOf(page);
  // The same positions, each given to the native brain as a BOARD block after a fresh START.
  const { maxNodes } = strengthSettings(strength);
  const input = [];
  for (let n = 1; n < moves.length; n += 2) {
    input.push('START 20', `INFO max_node ${maxNodes}`, 'INFO timeout_turn 60000',
      'INFO time_left 2147483647', boardBlock(moves.slice(0, n)).trimEnd());
  }
  input.push('END');
  const native = spawnSync('build/pbrain-tarn', { input: `${input.join('\n')}\n`, encoding: 'utf8' });
  assert.equal(native.status, 0, native.stderr);
  const answers = native.stdout.split('\n').filter((line) => /^\d+,\d+$/.test(line));
  assert.deepEqual(answers, moves.filter((_, i) => i % 2 === 1).map(key));
  assert.deepEqual(page.problems, []);
});

test('the engine on threads reports the lines of the engine on one thread', { timeout: 120_000 }, async () => {
  const page = await openPage(`${base}bench.html`);
  assert.ok(await page.evaluate(() => self.crossOriginIsolated));
  // Both engines search one position in their workers to the same depth.
  const search = (threaded) => page.evaluate((threaded) => new Promise((resolve, reject) => {
    const worker = new Worker(threaded ? 'engine-worker.js?threads' : 'engine-worker.js');
    const lines = [];
    let threads = 0;
    worker.onerror = (event) => reject(new Error(event.message));
    worker.onmessage = ({ data }) => {
      if (data.failed) reject(new Error(data.failed));
      if (data.ready) {
        threads = data.threads;
        worker.postMessage('START 20\nINFO max_depth 12\nINFO timeout_turn 60000\n' +
          'INFO time_left 2147483647\nBOARD\n9,9,1\n10,10,2\n10,9,1\n11,9,2\n9,11,1\n8,9,2\nDONE\n');
      }
      if (data.line === undefined) return;
      lines.push(data.line);
      if (/^\d+,\d+$/.test(data.line)) {
        worker.terminate();
        resolve({ lines, threads });
      }
    };
  }), threaded);
  const one = await search(false);
  const many = await search(true);
  assert.equal(one.threads, 1);
  assert.equal(many.threads, 2, 'this machine has 2 cores');
  // Everything but the time and speed: depth, move, score and nodes, and the move played.
  const exact = ({ lines }) => lines.map((line) => line.split('; ').slice(0, 4).join('; '));
  assert.deepEqual(exact(many), exact(one));
  assert.match(one.lines.at(-2), /^MESSAGE 12; /);
  assert.deepEqual(page.problems, []);
});

test('a page that is not cross-origin isolated plays on one thread and says so; settings survive a reload', { timeout: 60_000 }, async () => {
  const plain = await serve(folder, 0, { isolated: false });
  try {
    // The player second: Tarn opens as black.
    const page = await openPage(`${plain.url}#strength=time-1000&side=second`);
    assert.equal(await page.evaluate(() => self.crossOriginIsolated), false);
    await waitForStatus(page, /^Your move \(white\)/);
    assert.match(await page.textContent('#engine-info'), /one thread: this page is not cross-origin isolated/);
    await page.click(cell({ x: 3, y: 3 }));
    await waitForMoves(page, 3, 60_000 + MARGIN_MS);
    // Opened again without a link, the page keeps the strength and the side.
    await page.goto(plain.url);
    await waitForStatus(page, /^Your move \(white\)/);
    assert.equal(await page.$eval('#strength', (el) => el.value), 'time-1000');
    assert.ok(await page.isChecked('input[name=side][value=second]'));
    assert.equal(movesOf(page).length, 1);
    assert.deepEqual(page.problems, []);
  } finally {
    plain.server.close();
  }
});

test('an engine that cannot load says so on the page', { timeout: 60_000 }, async () => {
  // The page put on a host without the engines' WebAssembly files.
  const partial = await fs.mkdtemp(path.join(folder, 'no-engine-'));
  for (const file of ['index.html', 'style.css', 'app.js', 'game.js', 'engine-worker.js', 'tarn-engine.js',
    'tarn-engine-threads.js']) {
    await fs.copyFile(path.join(folder, file), path.join(partial, file));
  }
  const partialServer = await serve(partial);
  try {
    const page = await openPage(partialServer.url);
    await waitForStatus(page, /not available/);
    assert.ok(await page.isVisible('#error'));
    assert.match(await page.textContent('#error-text'), /could not be loaded/);
    await page.click(cell({ x: 9, y: 9 }));
    assert.equal(await page.getAttribute(cell({ x: 9, y: 9 }), 'data-stone'), null);
  } finally {
    partialServer.server.close();
    await fs.rm(partial, { recursive: true });
  }
});

test('the bench in the browser gives the native signature', { timeout: 120_000 }, async () => {
  const expected = process.env.TARN_SIGNATURE;
  assert.match(expected ?? '', /^\d+$/, 'TARN_SIGNATURE must hold the native bench signature');
  const page = await openPage(`${base}bench.html`);
  await page.waitForSelector('body[data-exit-status]', { timeout: 110_000 });
  const output = await page.textContent('#output');
  console.log(output.split('\n').filter((line) => /^(Nodes|Time|Signature)/.test(line))
    .map((line) => `Chromium bench: ${line}`).join('\n'));
  assert.equal(await page.getAttribute('body', 'data-exit-status'), '0');
  assert.match(output, new RegExp(`^Signature: ${expected}$`, 'm'));
  assert.deepEqual(page.problems, []);
});
