// Speed of the WebAssembly build against the native one: tarn-bench natively, under Node and in
// headless Chromium, alternated round by round on the same machine, with the medians at the end.
//
//     node bench/web_speed.mjs [rounds]        (after make build web, and npm ci in tests/web)
import { execFileSync } from 'node:child_process';

import { launchChromium } from '../tests/web/chromium.mjs';
import { serve } from '../web/serve.mjs';

const rounds = Number(process.argv[2] ?? 9);

// The bench's own figures: it times only its searches, not the start of the program or page.
function figures(output) {
  const nps = /^Nodes\/second: (\d+)$/m.exec(output);
  const signature = /^Signature: (\d+)$/m.exec(output);
  if (!nps || !signature) throw new Error(`no bench figures in:\n${output}`);
  return { nps: Number(nps[1]), signature: signature[1] };
}

const { server, url } = await serve('build-web');
const browser = await launchChromium();
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
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
for (const [name, values] of Object.entries(results)) {
  const range = `${(Math.min(...values) / 1e6).toFixed(1)} to ${(Math.max(...values) / 1e6).toFixed(1)} M`;
  const ratio = median(values.map((nps, i) => nps / results.native[i]));
  console.log(`${name}: median ${median(values)} nodes/second, ${range}; ${ratio.toFixed(2)} of native ` +
    '(median of the rounds)');
}
