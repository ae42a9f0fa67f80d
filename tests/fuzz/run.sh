#!/usr/bin/env bash
# Fuzzes the command loop: builds the fuzz target with clang, libFuzzer and the address and
# undefined-behaviour sanitizers in build-fuzz, then runs it for the given number of seconds
# (default 60) from a scratch copy of the seed corpus, so that the corpus in the repository only
# changes by hand. Any crash, sanitizer report, leak or input slower than 2 s stops the run with
# a non-zero status and leaves the input in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-60}"
build=build-fuzz

cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ > /dev/null
cmake --build "$build" -j2

corpus="$build/corpus"
artifacts="$build/artifacts"
rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
cp tests/fuzz/corpus/* "$corpus/"

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1"
"$build/command_loop_fuzz" -max_total_time="$seconds" -timeout=2 -max_len=4096 \
    -detect_leaks=1 -dict=tests/fuzz/commands.dict -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
