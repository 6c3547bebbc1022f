#!/usr/bin/env bash
# The program's main job on a fresh Debian 12 machine: installs what is missing, builds
# vormak.exe and runs it under Wine in a private prefix, with harmless look-alike files to find
# and a sample receiver on loopback to upload to. With a display ($DISPLAY) the window opens for
# you to use; without one the demo runs under Xvfb, walks Scan, Clean, the upload question and
# the reporter's upload itself and saves a screenshot of each step under artifacts/demo/. On a
# host that runs no 32-bit x86 programs the walk runs in an emulated guest (scripts/windows-run.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/windows-host.sh
windows_host_choose || exit 1
export windows_host
bash scripts/bootstrap.sh "$windows_host"
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build build/win -j "$(nproc)" --target vormak_loopback demo_driver wintrust_stub

mkdir -p artifacts/demo
if [ "$windows_host" = guest ]; then
  # No display reaches the guest: it walks the road itself, in a prefix on its own disk.
  VORMAK_PREFIX=/var/tmp/vormak-demo-prefix bash scripts/windows-run.sh build/win \
    bash scripts/run-demo.sh screenshots
  exit
fi
export VORMAK_PREFIX=${VORMAK_PREFIX:-$root/build/demo-prefix}
export VORMAK_KEEP_PREFIX=1
if [ -n "${DISPLAY:-}" ]; then
  bash scripts/run-demo.sh interactive
else
  bash scripts/windows-run.sh build/win bash scripts/run-demo.sh screenshots
fi
