// The Web Worker that runs the engine, so that the page stays responsive while it searches. The
// page posts chunks of protocol lines (a BOARD block always whole); every line the engine writes
// is posted back as soon as it is flushed, so the search report arrives while the search runs.
//
// Started as engine-worker.js?threads it runs the engine built with threads, on as many as the
// machine has cores, at most 8: it sets the engine's thread_num before anything else and says
// how many in its ready message. That engine needs shared memory, which a browser gives only to
// a cross-origin isolated page; the page checks before it asks for it.
//
// Everything lives in a function of its own: the Emscripten script shares this global scope,
// and its own top-level names (run among them) would replace ours.
(() => {
  'use strict';

  const MAX_THREADS = 8;
  // "?threads=N" asks for N threads instead of one per core (bench/web_speed.mjs measures them).
  // One thread is the one-thread engine: the threads' engine would wait for ever for a pool of
  // no workers to load.
  const asked = new URL(self.location.href).searchParams.get('threads');
  const threads = asked === null ? 1
    : Math.max(1, Math.min(Number(asked) || navigator.hardwareConcurrency || 1, MAX_THREADS));
  const threaded = threads > 1;
  const script = threaded ? 'tarn-engine-threads.js' : 'tarn-engine.js';

  let ready = false;
  const waiting = [];

  const fail = (reason) => postMessage({ failed: String(reason?.message ?? reason) });

  const runCommands = (lines) => {
    try {
      self.Module.ccall('tarn_run_commands', null, ['string'], [lines]);
    } catch (error) {
      fail(error);
    }
  };

  self.Module = {
    print: (line) => postMessage({ line }),
    // The engine never writes to standard error; the runtime does when it cannot start.
    printErr: (line) => postMessage({ stderr: line }),
    onAbort: fail,
    onRuntimeInitialized() {
      ready = true;
      if (threads > 1) runCommands(`INFO thread_num ${threads}\n`);
      postMessage({ ready: true, threads });
      for (const lines of waiting.splice(0)) runCommands(lines);
    },
    // The threads' engine: the workers of its helpers, started with it (the pool's size is read
    // from here), load the engine's script, which is not this one.
    tarnHelpers: threads - 1,
    mainScriptUrlOrBlob: script,
  };

  self.onmessage = (event) => (ready ? runCommands(event.data) : waiting.push(event.data));

  try {
    importScripts(script);
  } catch (error) {
    fail(`${script} did not load (${error.message})`);
  }
})();
