#!/usr/bin/env bash
# Tests the browser build: the page's rules under Node's test runner, the end-to-end protocol
# tests against the WebAssembly brain under Node, its deepest searches with stack-overflow checks
# on, the bench signature under Node against the native build's, and the page used in headless
# Chromium (tests/web/browser_test.mjs, which also runs the bench in the browser).
# Expects `make build web` to have run (the Makefile's test-web target does that).
set -euo pipefail
cd "$(dirname "$0")/../.."

for file in build/tarn-bench build-web/pbrain-tarn.js build-web/tarn-bench.js build-web/index.html \
    build-web/checks/stack-probe-checked.js build-web/checks/stack-probe-small.js; do
    [ -f "$file" ] || { echo "missing $file: run make build web" >&2; exit 1; }
done

echo "== the page's rules and text forms (web/game.js)"
node --test tests/web/game_test.mjs

engine="node build-web/pbrain-tarn.js"
echo "== end-to-end protocol tests (TARN_ENGINE=\"$engine\")"
e2e_ran=0
while IFS= read -r test_binary; do
    echo "-- $test_binary"
    TARN_ENGINE="$engine" "$test_binary"
    e2e_ran=1
done < <(find build/tests/e2e -maxdepth 1 -type f -executable 2>/dev/null | sort)
if [ "$e2e_ran" = 0 ]; then
    echo "FAIL: no end-to-end test binary in build/tests/e2e" >&2
    exit 1
fi

echo "== the deepest searches with stack-overflow checks"
node --test tests/web/deep_stack.mjs

echo "== bench signature under Node"
native_signature=$(build/tarn-bench | tail -n 1)
node_signature=$(node build-web/tarn-bench.js | tail -n 1)
echo "native: $native_signature"
echo "Node:   $node_signature"
case "$native_signature" in
"Signature: "[0-9]*) ;;
*) echo "FAIL: build/tarn-bench printed no signature line last" >&2; exit 1 ;;
esac
if [ "$node_signature" != "$native_signature" ]; then
    echo "FAIL: the WebAssembly bench signature differs from the native one" >&2
    exit 1
fi

echo "== the page in Chromium"
# playwright-core as the lockfile pins it; installed again only when the lockfile changed.
if [ ! tests/web/node_modules/.package-lock.json -nt tests/web/package-lock.json ]; then
    (cd tests/web && npm ci --no-audit --no-fund)
fi
TARN_SIGNATURE=${native_signature#Signature: } node tests/web/browser_test.mjs build-web
echo "screenshots: build-web/screenshots/"
