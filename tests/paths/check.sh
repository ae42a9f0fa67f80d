#!/usr/bin/env bash
# Checks that the x86-64-v2 path of an engine build never runs code built for x86-64-v3.
#
#     tests/paths/check.sh symbols BUILD_DIR   every function the x86-64-v3 objects define lies in
#                                              their own namespace, or the linker kept no copy
#     tests/paths/check.sh cpu BUILD_DIR       under qemu's user-mode emulator: a Nehalem (SSE4.2,
#                                              no AVX) picks x86-64-v2, refuses x86-64-v3 and
#                                              searches the same tree; a Haswell picks x86-64-v3
#
# The cpu check exits 77 (skipped) when qemu-x86_64 is not installed (Debian package qemu-user).
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
bench=$build/tarn-bench
v3_objects=$build/search/CMakeFiles/tarn_search_x86_64_v3.dir

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

check_symbols() {
    [ -d "$v3_objects" ] || fail "no x86-64-v3 objects in $v3_objects"
    # Functions that are code in the linked program (data such as the constant tables is shared
    # harmlessly: it is the same bytes for every instruction set).
    local code
    code=$(nm -C --defined-only "$bench" | awk '$2 ~ /^[TtWwi]$/ { $1 = ""; $2 = ""; print substr($0, 3) }' | sort -u)
    local outside
    # Only global and weak symbols: the linker never merges local ones.
    outside=$(nm -C --defined-only "$v3_objects"/*.o | awk 'NF >= 3 && $2 ~ /^[A-Z]$/ { $1 = ""; $2 = ""; print substr($0, 3) }' |
        grep -v 'x86_64_v3_path' | sort -u || true)
    local shared inside
    shared=$(comm -12 <(printf '%s\n' "$code") <(printf '%s\n' "$outside"))
    inside=$(nm --defined-only "$v3_objects"/*.o | grep -c x86_64_v3_path || true)
    # No symbol at all means nm could not read the objects (link-time optimisation objects need
    # the compiler's plugin): nothing would have been checked.
    [ "$inside" -gt 0 ] || fail "nm found no x86-64-v3 symbols in $v3_objects"
    echo "x86-64-v3 objects: $inside symbols in their namespace," \
        "$(printf '%s' "$outside" | grep -c . || true) outside it (data)"
    [ -z "$shared" ] || fail "functions of the x86-64-v3 objects outside their namespace, kept as code:"$'\n'"$shared"
    echo "ok"
}

# The positions, moves, scores and node counts of a bench run, without times.
tree() {
    grep -E '^(Position|Signature|Path)' | sed -E 's/, [0-9.]+ ms$//'
}

# The engine's answers with the times of its report lines left out.
reports() {
    sed -E 's/^(MESSAGE [^;]*;[^;]*;[^;]*;[^;]*);.*/\1/'
}

run_cpu() {
    local cpu=$1
    shift
    qemu-x86_64 -cpu "$cpu" "$@" 2> >(grep -v '^qemu-x86_64: warning' >&2)
}

check_cpu() {
    command -v qemu-x86_64 >/dev/null || {
        echo "skipped: qemu-x86_64 is not installed (Debian: qemu-user), so the engine did not run on emulated processors without and with AVX2"
        exit 77
    }
    local v2 v3
    v2=$("$bench" --depth 8 --path x86-64-v2 | tree | sed 's/^Path: .*/Path: x86-64-v2/')
    v3=$(printf '%s\n' "$v2" | sed 's/^Path: .*/Path: x86-64-v3/')

    echo "== Nehalem: the best path is x86-64-v2, and it searches the same tree"
    [ "$(run_cpu Nehalem "$bench" --depth 8 | tree)" = "$v2" ] || fail "Nehalem run differs"
    echo "== Nehalem: x86-64-v3 is refused with an error"
    local status=0 message
    message=$(run_cpu Nehalem "$bench" --depth 4 --path x86-64-v3 2>&1 >/dev/null) || status=$?
    [ "$status" = 2 ] || fail "exit status $status for a path the processor lacks"
    echo "$message"
    echo "== Nehalem: the engine plays a searched move on the clock"
    local answer
    answer=$(printf 'START 20\nINFO timeout_turn 300\nBOARD\n9,9,1\n10,10,2\n9,10,1\n8,11,2\nDONE\nEND\n' |
        run_cpu Nehalem "$build/pbrain-tarn")
    printf '%s\n' "$answer" | grep -q '^MESSAGE ' || fail "no search report: $answer"
    printf '%s\n' "$answer" | grep -qE '^[0-9]+,[0-9]+$' || fail "no move: $answer"
    echo "== Haswell: the best path is x86-64-v3, and it searches the same tree"
    [ "$(run_cpu Haswell "$bench" --depth 8 | tree)" = "$v3" ] || fail "Haswell run differs"
    echo "== Nehalem and Haswell: under a node limit the engine reports and plays as here"
    local limited='START 20\nINFO max_node 400000\nBOARD\n10,10,2\n9,9,1\n11,9,2\nDONE\nTURN 9,11\nEND\n'
    local here
    here=$(printf "$limited" | "$build/pbrain-tarn" | reports)
    for cpu in Nehalem Haswell; do
        [ "$(printf "$limited" | run_cpu $cpu "$build/pbrain-tarn" | reports)" = "$here" ] ||
            fail "$cpu plays otherwise under a node limit"
    done
    echo "ok"
}

case $mode in
symbols) check_symbols ;;
cpu) check_cpu ;;
*) fail "unknown mode $mode" ;;
esac
