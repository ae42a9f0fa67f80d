// Speed of the WebAssembly build against the native one: tarn-bench natively, under Node and in
// headless Chromium, alternated round by round on the same machine, with the medians at the end.
//
//     node bench/web_speed.mjs [rounds]        (after make build web, and npm ci in tests/web)
//
// With --threads [depth] it compares the page's two engines in Chromium instead: the time the
// engine on threads and the one-thread engine each take to search the bench positions to that
// depth (default 12) in the page's Web Worker, as a player's browser runs them.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';

import { launchChromium } from '../tests/web/chromium.mjs';
import { serve } from '../web/serve.mjs';

const threadsMode = process.argv[2] === '--threads';
const rounds = Number(process.argv[threadsMode ? 4 : 2] ?? (threadsMode ? 5 : 9));

// The bench's own figures: it times only its searches, not the start of the program or page.
function figures(output) {
  const nps = /^Nodes\/second: (\d+)$/m.exec(output);
  const signature = /^Signature: (\d+)$/m.exec(output);
  if (!nps || !signature) throw new Error(`no bench figures in:\n${output}`);
  return { nps: Number(nps[1]), signature: signature[1] };
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const { server, url } = await serve('build-web');
const browser = await launchChromium();
if (threadsMode) {
  try {
    await compareThreads(Number(process.argv[3] ?? 12));
  } finally {
    await browser.close();
    server.close();
  }
  process.exit(0);
}

// Each position of the suite as the page sends it: START, the settings and a BOARD block. The
// search ends with its move after the iteration of `depth`, or sooner when it is settled or
// forced.
function suiteCommands(depth) {
  return fs.readFileSync('bench/positions.txt', 'utf8').split('\n')
    .filter((line) => line.trim() && !line.startsWith('#'))
    .map((line) => `START 20\nINFO max_depth ${depth}\nINFO timeout_turn 2147483647\n` +
      `INFO time_left 2147483647\nBOARD\n${line.trim().split(/\s+/).join('\n')}\nDONE\n`);
}

async function compareThreads(depth) {
  const page = await browser.newPage();
  await page.goto(`${url}bench.html`);
  const commands = suiteCommands(depth);
  // Milliseconds from handing each position over to the end of its search, summed over the
  // suite. One worker searches them all, as the page's does a game: the threads start with its
  // first search, which is not counted.
  const suiteTime = (threaded) => page.evaluate(([script, commands, depth]) => new Promise((resolve, reject) => {
    const worker = new Worker(script);
    const lines = [];
    let total = 0;
    let threads = 0;
    let next = -1;
    let start = 0;
    const post = () => {
      start = performance.now();
      worker.postMessage(commands[Math.max(next, 0)]);
    };
    worker.onerror = (event) => reject(new Error(event.message));
    worker.onmessage = ({ data }) => {
      if (data.failed) reject(new Error(data.failed));
      if (data.ready) {
        threads = data.threads;
        post();
      }
      if (data.line === undefined || !/^(MESSAGE|\d+,\d+$)/.test(data.line)) return;
      if (next >= 0) lines.push(data.line.split('; ').slice(0, 4).join('; '));
      if (!/^\d+,\d+$/.test(data.line)) return;
      if (next >= 0) total += performance.now() - start;
      if (++next === commands.length) {
        worker.terminate();
        resolve({ total, threads, lines });
      } else {
        post();
      }
    };
  }), [threaded ? `engine-worker.js?threads=${threaded}` : 'engine-worker.js', commands, depth]);
  const times = { one: [], threads: [] };
  let threadCount = 0;
  for (let round = 1; round <= rounds; ++round) {
    const one = await suiteTime(false);
    const many = await suiteTime('cores');
    if (many.lines.join() !== one.lines.join()) throw new Error('the engines ended their searches differently');
    threadCount = many.threads;
    times.one.push(one.total);
    times.threads.push(many.total);
    console.log(`round ${round}: one thread ${(one.total / 1000).toFixed(2)} s, ${many.threads} threads ` +
      `${(many.total / 1000).toFixed(2)} s, ${(one.total / many.total).toFixed(2)} times as fast`);
  }
  const ratio = median(times.one.map((one, i) => one / times.threads[i]));
  console.log(`depth ${depth}, ${commands.length} positions: one thread median ${(median(times.one) / 1000).toFixed(2)} s, ` +
    `${threadCount} threads ${(median(times.threads) / 1000).toFixed(2)} s; ${ratio.toFixed(2)} times as fast ` +
    '(median of the rounds)');
}

const runs = {
  native: () => execFileSync('build/tarn-bench', { encoding: 'utf8' }),
  node: () => execFileSync('node', ['build-web/tarn-bench.js'], { encoding: 'utf8' }),
  chromium: async () => {
    const page = await browser.newPage();
    await page.goto(`${url}bench.html`);
    await page.waitForSelector('body[data-exit-status]', { timeout: 120_000 });
    const output = await page.textContent('#output');
    await page.close();
    return output;
  },
};
const results = Object.fromEntries(Object.keys(runs).map((name) => [name, []]));
try {
  for (let round = 1; round <= rounds; ++round) {
    const line = [];
    for (const [name, run] of Object.entries(runs)) {
      const { nps, signature } = figures(await run());
      results[name].push(nps);
      line.push(`${name} ${(nps / 1e6).toFixed(2)} M (${signature})`);
    }
    console.log(`round ${round}: ${line.join(', ')}`);
  }
} finally {
  await browser.close();
  server.close();
}

// The machine is shared, so its speed drifts between rounds: each build is also compared with the
// native run of its own round, and the median of those ratios quoted.
for (const [name, values] of Object.entries(results)) {
  const range = `${(Math.min(...values) / 1e6).toFixed(1)} to ${(Math.max(...values) / 1e6).toFixed(1)} M`;
  const ratio = median(values.map((nps, i) => nps / results.native[i]));
  console.log(`${name}: median ${median(values)} nodes/second, ${range}; ${ratio.toFixed(2)} of native ` +
    '(median of the rounds)');
}
