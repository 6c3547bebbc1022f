#!/usr/bin/env bash
# The program's main job on a fresh Debian 12 machine: installs what is missing, builds
# vormak.exe and runs it under Wine in a private prefix, with harmless look-alike files to find
# and a sample receiver on loopback to upload to. With a display ($DISPLAY) the window opens for
# you to use; without one the demo runs under Xvfb, walks Scan, Clean, the upload question and
# the reporter's upload itself and saves a screenshot of each step under artifacts/demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build build/win -j "$(nproc)" --target vormak_loopback demo_driver wintrust_stub

export VORMAK_PREFIX=${VORMAK_PREFIX:-$root/build/demo-prefix}
export VORMAK_KEEP_PREFIX=1
mkdir -p artifacts/demo
if [ -n "${DISPLAY:-}" ]; then
  bash scripts/run-demo.sh interactive
else
  xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/run-demo.sh screenshots
fi
