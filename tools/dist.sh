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

mkdir -p dist
rm -f dist/pbrain-tarn.zip dist/tarn-linux-x86_64.tar.gz
tar -czf dist/tarn-linux-x86_64.tar.gz --owner=0 --group=0 \
    -C build pbrain-tarn -C .. README.md
tar -tzvf dist/tarn-linux-x86_64.tar.gz

# The same test of mingw-w64 as the Makefile's, which builds the .exe only where it passes.
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    echo "skipped dist/pbrain-tarn.zip: mingw-w64 is not installed (Debian: g++-mingw-w64-x86-64)"
    exit 0
fi
if ! command -v zip >/dev/null; then
    echo "skipped dist/pbrain-tarn.zip: zip is not installed (Debian: zip)"
    exit 0
fi
exe=build-windows/pbrain-tarn.exe
[ -f "$exe" ] || { echo "missing $exe: run make dist" >&2; exit 1; }

# A tournament machine has only Windows' own DLLs, and the engine must carry both search paths:
# x86-64-v3 where the processor has AVX2, x86-64-v2 elsewhere.
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

zip -j -X -q dist/pbrain-tarn.zip "$exe"
zip -sf dist/pbrain-tarn.zip
