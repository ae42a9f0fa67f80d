// The Web Worker that runs the engine, so that the page stays responsive while it searches. The
// page posts chunks of protocol lines (a BOARD block always whole); every line the engine writes
// is posted back as soon as it is flushed, so the search report arrives while the search runs.
//
// Everything lives in a function of its own: the Emscripten script shares this global scope,
// and its own top-level names (run among them) would replace ours.
(() => {
  'use strict';

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
      postMessage({ ready: true });
      for (const lines of waiting.splice(0)) runCommands(lines);
    },
  };

  self.onmessage = (event) => (ready ? runCommands(event.data) : waiting.push(event.data));

  try {
    importScripts('tarn-engine.js');
  } catch (error) {
    fail(`tarn-engine.js did not load (${error.message})`);
  }
})();
