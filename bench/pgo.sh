#!/usr/bin/env bash
# Profile-guided build in build-pgo: an instrumented build of the engine and the bench runs the
# bench suite, then the same folder is rebuilt with that profile. The search tree is the same
# as in every other build; only the code layout and the compiler's guesses change.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-pgo
profile="$PWD/$build/profile"
rm -rf "$profile"
configure() {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARN_BUILD_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$1" > /dev/null
}
configure "-fprofile-generate -fprofile-dir=$profile"
cmake --build "$build" --target tarn-bench pbrain-tarn
"./$build/tarn-bench" --depth 8 > /dev/null
configure "-fprofile-use -fprofile-dir=$profile -fprofile-partial-training -Wno-missing-profile"
cmake --build "$build" --target tarn-bench pbrain-tarn
"./$build/tarn-bench" | tail -4
