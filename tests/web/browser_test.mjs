// The page in a real browser: Debian's Chromium, headless, driven by playwright-core, loads the
// page from the local server and plays against the WebAssembly engine in its Web Worker.
//
//     TARN_SIGNATURE=N node tests/web/browser_test.mjs [build-web]
//
// TARN_SIGNATURE is the native bench's signature, which the bench in the browser must give too.
// Screenshots are saved in the build folder's screenshots/.
import assert from 'node:assert/strict';
import fs from 'node:fs/promises';
import path from 'node:path';
import { after, before, test } from 'node:test';

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
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, ...options });
  const page = await context.newPage();
  page.problems = [];
  page.on('pageerror', (error) => page.problems.push(error.message));
  page.on('console', (message) => message.type() === 'error' && page.problems.push(message.text()));
  await page.goto(url);
  return page;
}

const cell = ({ x, y }) => `.cell[data-x="${x}"][data-y="${y}"]`;
const key = ({ x, y }) => `${x},${y}`;

// The game on the page, as its link carries it.
function movesOf(page) {
  const match = /#moves=(.*)$/.exec(page.url());
  if (!match) return [];
  return match[1].split(';').map((text) => {
    const [x, y] = text.split(',').map(Number);
    return { x, y };
  });
}

const statusOf = (page) => page.textContent('#status-text');

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

test('a game played by clicking: legal answers in time, a live report, a take-back', { timeout: 180_000 }, async () => {
  const page = await openPage(base);
  await page.selectOption('#time', String(THINK_MS));
  await page.waitForFunction(() => /^Your move/.test(document.getElementById('status-text').textContent));
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
    await page.waitForFunction((n) => location.hash.split(';').length === n, before.length + 2,
      { timeout: THINK_MS + MARGIN_MS + 5000 });
    const elapsed = Date.now() - started;
    assert.ok(elapsed <= THINK_MS + MARGIN_MS, `the answer took ${elapsed} ms`);

    const moves = movesOf(page);
    assert.deepEqual(moves.slice(0, -1), [...before, mine]);
    const answer = moves.at(-1);
    assert.ok(answer.x >= 0 && answer.x < SIZE && answer.y >= 0 && answer.y < SIZE, key(answer));
    assert.ok(![...before, mine].some((m) => key(m) === key(answer)), `${key(answer)} was taken`);
    assert.equal(await page.getAttribute(cell(answer), 'data-stone'), 'white');
    assert.ok(await page.$eval(cell(answer), (el) => el.classList.contains('last')));
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
    assert.match(speed, /^(\d+(\.\d+)? [kMG]?\/s|—)$/);
  }
  await page.mouse.move(0, 0);
  await page.screenshot({ path: path.join(shots, 'desktop.png') });
  assert.deepEqual(page.problems, []);
});

test('links one move from a five: the win is detected and shown', { timeout: 60_000 }, async () => {
  // Black (the player, to move) has four in a row open at 9,5.
  const page = await openPage(`${base}#moves=5,5;5,7;6,5;6,7;7,5;7,7;8,5;12,12`);
  await page.waitForFunction(() => /^Your move/.test(document.getElementById('status-text').textContent));
  await page.click(cell({ x: 9, y: 5 }));
  assert.match(await statusOf(page), /You win/);
  assert.deepEqual((await page.$$eval('.cell.win', (els) => els.map((el) => el.getAttribute('aria-label')))).sort(),
    ['5,5', '6,5', '7,5', '8,5', '9,5']);
  await page.click(cell({ x: 15, y: 15 }));
  assert.equal(movesOf(page).length, 9, 'a move was taken after the game ended');

  // White (the engine) has an open four; the player plays elsewhere and the engine makes five.
  await page.goto(`${base}#moves=0,0;5,10;0,2;6,10;0,4;7,10;0,6;8,10`);
  await page.waitForFunction(() => document.querySelectorAll('.cell[data-stone]').length === 8);
  await page.click(cell({ x: 15, y: 15 }));
  await page.waitForFunction(() => /Tarn wins/.test(document.getElementById('status-text').textContent),
    null, { timeout: THINK_MS + MARGIN_MS + 5000 });
  const five = await page.$$eval('.cell.win', (els) => els.map((el) => el.getAttribute('aria-label')));
  assert.equal(five.length, 5);
  assert.ok(five.includes('4,10') || five.includes('9,10'), five.join(' '));
  assert.deepEqual(page.problems, []);
});

test('by touch at phone width', { timeout: 60_000 }, async () => {
  const page = await openPage(base, {
    viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true, deviceScaleFactor: 2,
  });
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 390, `the page is ${width} px wide`);
  await page.waitForFunction(() => /^Your move/.test(document.getElementById('status-text').textContent));
  await page.tap(cell({ x: 9, y: 9 }));
  await page.waitForFunction(() => location.hash.split(';').length === 2, null,
    { timeout: 1000 + MARGIN_MS + 5000 });
  assert.equal(await page.getAttribute(cell({ x: 9, y: 9 }), 'data-stone'), 'black');
  await page.screenshot({ path: path.join(shots, 'phone.png'), fullPage: true });
  assert.deepEqual(page.problems, []);
});

test('an engine that cannot load says so on the page', { timeout: 60_000 }, async () => {
  // The page put on a host without the engine's WebAssembly file.
  const partial = await fs.mkdtemp(path.join(folder, 'no-engine-'));
  for (const file of ['index.html', 'style.css', 'app.js', 'game.js', 'engine-worker.js', 'tarn-engine.js']) {
    await fs.copyFile(path.join(folder, file), path.join(partial, file));
  }
  const partialServer = await serve(partial);
  try {
    const page = await openPage(partialServer.url);
    await page.waitForFunction(() => /not available/.test(document.getElementById('status-text').textContent));
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
