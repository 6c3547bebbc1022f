#!/usr/bin/env bash
# Runs the demo inside a display: scripts/demo.sh calls it.
#   run-demo.sh interactive|screenshots
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=$1
. "$root/scripts/wine-env.sh"
if [ ! -f "$VORMAK_PREFIX/system.reg" ]; then wine_prefix_create; else export WINEPREFIX=$VORMAK_PREFIX; timeout 60 wineserver -p; fi
trap wine_prefix_end EXIT
exe="$root/build/win/app/vormak.exe"
driver="$root/build/win/tests/e2e/demo/demo_driver.exe"
# Look-alike demo files (harmless, made by the project) for the scan to find.
timeout 120 wine "$driver" --app="$exe" --artifacts="$root/artifacts/demo" --seed-only
if [ "$mode" = interactive ]; then
  echo "Starting vormak.exe: press 扫描 (Scan) to find the demo files."
  timeout 3600 wine "$exe" || true
else
  timeout 300 wine "$driver" --app="$exe" --artifacts="$root/artifacts/demo"
  for bmp in "$root"/artifacts/demo/*.bmp; do
    [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
  echo "Screenshots: $root/artifacts/demo/"
fi
