#!/usr/bin/env bash
# Runs CTest for a Windows build tree in a fresh Wine prefix. Expects a display (xvfb-run).
#   run-wine-tests.sh [--windows <version>] <build-dir> [ctest arguments...]
# --windows makes Wine report that Windows version (a winecfg name: winxp is Windows XP); the
# screenshots of such a run go to artifacts/<version>/, beside those of a default run.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows=
if [ "${1:-}" = --windows ]; then
  windows=$2
  shift 2
fi
build=$(cd "$1" && pwd)
shift
. "$root/scripts/wine-env.sh"
wine_prefix_create "$windows" || { echo "could not set up a prefix reporting $windows"; exit 1; }
trap wine_prefix_end EXIT
reported=$(wine_windows_version)
if [ -z "$reported" ]; then
  echo "Wine did not start in the prefix $WINEPREFIX: no test can run"
  exit 1
fi
echo "Wine prefix: $WINEPREFIX (ANSI code page checked by the tests), Windows $reported"
if [ "$windows" = winxp ] && [ "${reported#5.1.}" = "$reported" ]; then
  echo "Wine reports Windows $reported, not XP (5.1)"
  exit 1
fi
# Which skips the tests may take depends on it (scripts/gtest-verdict.sh).
export VORMAK_WINDOWS_VERSION=$windows
cd "$build"
if [ -n "$windows" ] && [ -d artifacts ]; then
  mv artifacts "artifacts.default.$$"
fi
status=0
ctest --output-on-failure --no-tests=error -j "$(nproc)" "$@" || status=$?
# Screenshots are saved as BMP by the Windows side; keep PNGs.
find "$build/artifacts" -name '*.bmp' 2>/dev/null | while read -r bmp; do
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
if [ -n "$windows" ]; then
  mkdir -p "artifacts.default.$$"
  rm -rf "artifacts.default.$$/$windows"
  [ -d artifacts ] && mv artifacts "artifacts.default.$$/$windows"
  mv "artifacts.default.$$" artifacts
fi
exit $status
