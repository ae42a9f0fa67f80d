// Runs before the Emscripten loader. Under Node it hands the module its WebAssembly binary, read
// from beside the script: the loader of Debian's Emscripten 3.1.6 predates Node's built-in fetch
// and would try to fetch the file by its path, which fails.
if (typeof process == 'object' && typeof require == 'function' && !Module['wasmBinary']) {
  Module['wasmBinary'] = require('fs').readFileSync(__filename.replace(/\.js$/, '.wasm'));
}
