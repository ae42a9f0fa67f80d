#!/usr/bin/env bash
# Packs the release files: dist/tarn-linux-x86_64.tar.gz with the Linux engine and the README,
# and, where mingw-w64 is installed, dist/pbrain-tarn.zip with pbrain-tarn.exe at its top level,
# as Windows tournaments take a brain. Expects the engines to be built (the Makefile's dist
# target does that); says what it skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

for file in build/pbrain-tarn README.md; do
    [ -f "$file" ] || { echo "missing $file: run make dist" >&2; exit 1; }
done

# A tournament machine has only Windows' own DLLs, and the engine must carry both search paths:
# x86-64-v3 where the processor has AVX2, x86-64-v2 elsewhere.
exe=build-windows/pbrain-tarn.exe
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "pbrain-tarn.exe imports:" $imports
for dll in $imports; do
    case ${dll,,} in
    kernel32.dll | msvcrt.dll) ;;
    *) echo "pbrain-tarn.exe needs $dll, which is not part of Windows" >&2; exit 1 ;;
    esac
done
# The release program has no symbol table; only the x86-64-v3 path uses 32-byte registers.
wide=$(x86_64-w64-mingw32-objdump -d "$exe" | grep -c '%ymm' || true)
[ "$wide" -gt 0 ] || { echo "pbrain-tarn.exe has no x86-64-v3 search path" >&2; exit 1; }

mkdir -p dist
rm -f dist/pbrain-tarn.zip dist/tarn-linux-x86_64.tar.gz
tar -czf dist/tarn-linux-x86_64.tar.gz --owner=0 --group=0 \
    -C build pbrain-tarn -C .. README.md
tar -tzvf dist/tarn-linux-x86_64.tar.gz

if ! command -v x86_64-w64-mingw32-g++-win32 >/dev/null && ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
    echo "skipped dist/pbrain-tarn.zip: mingw-w64 is not installed (Debian: g++-mingw-w64-x86-64)"
elif ! command -v zip >/dev/null; then
    echo "skipped dist/pbrain-tarn.zip: zip is not installed (Debian: zip)"
else
    [ -f build-windows/pbrain-tarn.exe ] || { echo "missing build-windows/pbrain-tarn.exe: run make dist" >&2; exit 1; }
    zip -j -X -q dist/pbrain-tarn.zip build-windows/pbrain-tarn.exe
    zip -sf dist/pbrain-tarn.zip
fi
