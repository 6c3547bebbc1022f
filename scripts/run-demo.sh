#!/usr/bin/env bash
# Runs the demo inside a display: scripts/demo.sh calls it.
#   run-demo.sh interactive|screenshots
# The demo's vormak.exe carries the reporter's loopback test build, which sends to the sample
# receiver started here on 127.0.0.1 (TARNUP_ENDPOINT); the shipped reporter has its endpoint
# built in and ignores that variable.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=$1
. "$root/scripts/wine-env.sh"
if [ ! -f "$VORMAK_PREFIX/system.reg" ]; then wine_prefix_create; else export WINEPREFIX=$VORMAK_PREFIX; timeout 60 wineserver -p; fi
trap wine_prefix_end EXIT
exe="$root/build/win/tests/e2e/demo/loopback/vormak.exe"
driver="$root/build/win/tests/e2e/demo/demo_driver.exe"
receiver="$root/tests/e2e/reporter/receiver.py"
work="$root/build/demo-receiver"
artifacts="$root/artifacts/demo"
if [ "$mode" = interactive ]; then
  rm -rf "$work"
  mkdir -p "$work"
  python3 "$receiver" --dir "$work" --port-file "$work/port" --lifetime 3600 &
  receiver_pid=$!
  trap 'kill "$receiver_pid" 2>/dev/null; wine_prefix_end' EXIT
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
  export TARNUP_ENDPOINT="http://127.0.0.1:$(cat "$work/port")"
  # Look-alike demo files (harmless, made by the project) and the stand-in trust check.
  timeout 120 wine "$driver" --app="$exe" --artifacts="$artifacts" --seed-only
  echo "Starting vormak.exe: press 扫描 (Scan), then 清除 (Clean) and 是 (Yes) to upload."
  echo "Uploads land in $work/stored/."
  timeout 3600 wine "$exe" || true
else
  rm -f "$artifacts"/*.png "$artifacts"/*.bmp
  # The receiver runs on the Linux side for the length of the walk.
  bash "$root/tests/e2e/reporter/run_with_receiver.sh" python3 "$receiver" "$work" "$driver" \
    --app="$exe" --artifacts="$artifacts"
  for bmp in "$artifacts"/*.bmp; do
    [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
  echo "Screenshots: $artifacts/"
fi
