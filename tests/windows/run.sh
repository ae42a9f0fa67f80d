#!/usr/bin/env bash
# Tests the Windows build under wine, headless: the clock check, the standard-input handling of
# CRLF and 0x1A, the end-to-end protocol tests against pbrain-tarn.exe, one self-play game
# between two .exe engines searching on two threads each, the DLLs the engine imports, and the
# bench signature of tarn-bench.exe on each instruction-set path against the Linux build's.
# Expects `make build windows` to have run (the Makefile's test-windows target does that);
# TARN_LINUX_BUILD names another Linux build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
# The Linux build whose end-to-end tests and bench are used; `make` builds into build/.
linux_build=${TARN_LINUX_BUILD:-build}

exe=$root/build-windows/pbrain-tarn.exe
[ -f "$exe" ] || { echo "missing $exe: run make windows" >&2; exit 1; }

# Debian's wine64 package puts the loader outside PATH; the wine package adds the wrappers.
wine=$(command -v wine64 || true)
[ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; } || true
[ -n "$wine" ] || wine=$(command -v wine || true)
[ -n "$wine" ] || { echo "wine is not installed (Debian package wine64)" >&2; exit 1; }

# No display, no debug chatter, and no offer to install Mono or Gecko: nothing can open a dialog.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$root/build-windows/wine-prefix
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=$(dirname "$wine")/wineserver
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the wine prefix $WINEPREFIX"
    # On a fresh system the first wineboot now and then fails; a second one, on a new wine
    # server, has always worked.
    if ! "$wine" wineboot -i </dev/null >/dev/null 2>&1; then
        echo "== wineboot failed; once more"
        "$wineserver" -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
        "$wine" wineboot -i </dev/null >/dev/null 2>&1
    fi
    "$wineserver" -w
fi
# One wine server for the whole run, so the engines start quickly; stopped on the way out.
"$wineserver" -p 2>/dev/null || true  # already running: it stays for this run anyway
trap '"$wineserver" -k || true' EXIT

echo "== DLLs the engine imports: Windows' own only"
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    tr '[:upper:]' '[:lower:]' | sort -u)
echo "$dlls"
for dll in $dlls; do
    case "$dll" in
    kernel32.dll | msvcrt.dll) ;;
    *) echo "FAIL: $exe imports $dll, which Windows does not ship" >&2; exit 1 ;;
    esac
done

echo "== clock"
x86_64-w64-mingw32-g++-win32 -std=c++20 -O2 -Wall -Wextra -Werror -static -I"$root" \
    tests/windows/clock_check.cpp -o build-windows/clock-check.exe
"$wine" build-windows/clock-check.exe </dev/null

echo "== standard input: CRLF line ends and a 0x1A byte; CRLF line ends out"
actual=$(printf 'START 20\r\n\x1a\r\nDEBUG move_number\r\nEND\r\n' | "$wine" "$exe" | od -An -c)
expected_dump=$(printf '%s' "OK"$'\r\n'"UNKNOWN command ("$'\x1a'")"$'\r\n'"DEBUG 1"$'\r\n' | od -An -c)
if [ "$actual" != "$expected_dump" ]; then
    echo "FAIL: the engine read CRLF input wrongly; got:" >&2
    echo "$actual" >&2
    exit 1
fi
echo "ok"

engine="$wine $exe"
echo "== end-to-end protocol tests (TARN_ENGINE=\"$engine\")"
e2e_ran=0
if [ -d "$linux_build"/tests/e2e ]; then
    while IFS= read -r test_binary; do
        echo "-- $test_binary"
        TARN_ENGINE="$engine" "$test_binary"
        e2e_ran=1
    done < <(find "$linux_build"/tests/e2e -maxdepth 1 -type f -executable | sort)
fi
if [ "$e2e_ran" = 0 ]; then
    echo "FAIL: no end-to-end test binary in $linux_build/tests/e2e" >&2
    exit 1
fi

echo "== self-play: one game at 300 ms per move, both sides pbrain-tarn.exe on two threads"
python3 tools/selfplay.py --engine "$engine" --games 1 --turn-ms 300 --seed 7 --threads 2

echo "== bench signature, on each instruction-set path"
linux_signature=$("$linux_build"/tarn-bench | tail -n 1)
echo "Linux:   $linux_signature"
case "$linux_signature" in
"Signature: "[0-9]*) ;;
*) echo "FAIL: $linux_build/tarn-bench printed no signature line last" >&2; exit 1 ;;
esac
# The default path is the best the processor has; each path must give the Linux signature. A
# path this processor lacks must be refused with exit status 2, not crash.
windows_paths=0
for path in default x86-64-v2 x86-64-v3; do
    arguments=()
    [ "$path" = default ] || arguments=(--path "$path")
    status=0
    output=$("$wine" build-windows/tarn-bench.exe "${arguments[@]}" </dev/null 2>&1 | tr -d '\r') ||
        status=$?
    if [ "$status" = 2 ] && grep -q "this processor cannot run the path $path" <<<"$output"; then
        echo "Windows, $path: refused, the processor lacks it"
        continue
    fi
    used=$(grep '^Path: ' <<<"$output" || true)
    windows_signature=$(tail -n 1 <<<"$output")
    echo "Windows, $path: $windows_signature ($used)"
    if [ "$status" != 0 ] || [ "$linux_signature" != "$windows_signature" ]; then
        echo "FAIL: the Windows bench on $path differs from the Linux one (exit status $status)" >&2
        exit 1
    fi
    if [ "$path" != default ] && [ "$used" != "Path: $path" ]; then
        echo "FAIL: asked for $path, the Windows bench searched on ${used:-no path}" >&2
        exit 1
    fi
    windows_paths=$((windows_paths + 1))
done
[ "$windows_paths" -ge 2 ] || { echo "FAIL: no path of the Windows bench gave a signature" >&2; exit 1; }

echo "== Windows build: all checks passed"
