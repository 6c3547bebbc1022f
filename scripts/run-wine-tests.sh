#!/usr/bin/env bash
# Runs CTest for a Windows build tree in a fresh Wine prefix. Expects a display (xvfb-run).
#   run-wine-tests.sh <build-dir> [ctest arguments...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
. "$root/scripts/wine-env.sh"
wine_prefix_create
trap wine_prefix_end EXIT
echo "Wine prefix: $WINEPREFIX (ANSI code page checked by the tests)"
cd "$build"
status=0
ctest --output-on-failure -j "$(nproc)" "$@" || status=$?
# Screenshots are saved as BMP by the Windows side; keep PNGs.
for bmp in "$build"/artifacts/*.bmp; do
  [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $status
