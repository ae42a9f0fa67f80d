#!/usr/bin/env bash
# Packs the release files: dist/pbrain-tarn.zip with pbrain-tarn.exe at its top level, as
# Windows tournaments take a brain, and dist/tarn-linux-x86_64.tar.gz with the Linux engine and
# the README. Expects `make build windows` to have run (the Makefile's dist target does that).
set -euo pipefail
cd "$(dirname "$0")/.."

for file in build-windows/pbrain-tarn.exe build/pbrain-tarn README.md; do
    [ -f "$file" ] || { echo "missing $file" >&2; exit 1; }
done
command -v zip >/dev/null || { echo "zip is not installed (Debian package zip)" >&2; exit 1; }

mkdir -p dist
rm -f dist/pbrain-tarn.zip dist/tarn-linux-x86_64.tar.gz
zip -j -X -q dist/pbrain-tarn.zip build-windows/pbrain-tarn.exe
tar -czf dist/tarn-linux-x86_64.tar.gz --owner=0 --group=0 \
    -C build pbrain-tarn -C .. README.md
unzip -l dist/pbrain-tarn.zip
tar -tzvf dist/tarn-linux-x86_64.tar.gz
