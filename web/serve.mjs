// Serves a folder over HTTP on 127.0.0.1 for local play and for the browser test:
//
//     node web/serve.mjs [folder] [port] [--not-isolated]
//
// The folder defaults to build-web; port 0 (the default) takes a free port. The URL is printed.
// The page is served cross-origin isolated, which gives it shared memory and so the engine on
// threads; --not-isolated serves it as a plain static host would, on one thread.
import fs from 'node:fs/promises';
import http from 'node:http';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

// The types a browser insists on: a worker script must be JavaScript, and WebAssembly compiles
// while it streams only when served as application/wasm.
const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.ico': 'image/x-icon',
};

export function serve(folder, port = 0, { isolated = true } = {}) {
  const root = path.resolve(folder);
  const server = http.createServer(async (request, response) => {
    let file;
    try {
      const { pathname } = new URL(request.url, 'http://localhost');
      file = path.join(root, decodeURIComponent(pathname));
      if (pathname.endsWith('/')) file = path.join(file, 'index.html');
    } catch {
      response.writeHead(400).end('Bad request');
      return;
    }
    if (file !== root && !file.startsWith(root + path.sep)) {
      response.writeHead(403).end('Forbidden');
      return;
    }
    try {
      const body = await fs.readFile(file);
      const headers = {
        'Content-Type': TYPES[path.extname(file)] ?? 'application/octet-stream',
        'Cache-Control': 'no-cache',
      };
      // A cross-origin isolated page gets shared memory, which the engine's threads need, and a
      // finer clock (5 microseconds instead of 100 in Chromium), which the search report's short
      // iterations show. The page needs nothing from other origins; on a host without these
      // headers it plays the same, on one thread.
      if (isolated) {
        headers['Cross-Origin-Opener-Policy'] = 'same-origin';
        headers['Cross-Origin-Embedder-Policy'] = 'require-corp';
      }
      response.writeHead(200, headers);
      response.end(request.method === 'HEAD' ? undefined : body);
    } catch {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('Not found');
    }
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      resolve({ server, url: `http://127.0.0.1:${server.address().port}/` });
    });
  });
}

if (process.argv[1] && import.meta.url === pathToFileURL(path.resolve(process.argv[1])).href) {
  const args = process.argv.slice(2).filter((arg) => arg !== '--not-isolated');
  const isolated = args.length === process.argv.length - 2;
  const folder = args[0] ?? 'build-web';
  try {
    await fs.access(path.join(folder, 'index.html'));
  } catch {
    console.error(`${folder}/index.html is missing: run make web first`);
    process.exit(1);
  }
  const { url } = await serve(folder, Number(args[1] ?? 0), { isolated });
  const how = isolated ? 'cross-origin isolated: threads' : 'not isolated: one thread';
  console.log(`Tarn is served from ${folder}/ at ${url} (${how}; Ctrl+C stops it)`);
}
