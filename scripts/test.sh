#!/usr/bin/env bash
# The whole test suite on a fresh Debian 12 machine: installs what is missing, builds the host
# tree (portable logic under ASan+UBSan, fuzz smoke runs) and the Windows tree (program, Win32
# unit tests, end-to-end tests under Wine and Xvfb), and runs CTest in both; the end-to-end tests
# run a second time with Wine reporting Windows XP. On a host that runs no 32-bit x86 programs the
# Windows half runs in an emulated guest (scripts/windows-host.sh, scripts/windows-run.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

. scripts/windows-host.sh
windows_host_choose || exit 1
export windows_host
bash scripts/bootstrap.sh "$windows_host"

echo "== host build =="
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVORMAK_FUZZ=ON >/dev/null
cmake --build build/host -j "$jobs"

echo "== windows build =="
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build build/win -j "$jobs"

mkdir -p build/logs
echo "== host tests =="
host_status=0
(cd build/host && ctest --output-on-failure --no-tests=error -j "$jobs") 2>&1 | tee build/logs/host-ctest.log \
  || host_status=$?

echo "== windows tests (Wine) =="
win_status=0
if [ "$windows_host" = native ]; then
  bash scripts/windows-run.sh build/win bash scripts/run-wine-tests.sh build/win 2>&1 \
    | tee build/logs/win-ctest.log || win_status=$?
else
  # What needs no Wine runs here; the rest in the guest. Both summaries go into one log.
  (cd build/win && ctest --output-on-failure --no-tests=error -j "$jobs" -LE wine) 2>&1 \
    | tee build/logs/win-ctest.log || win_status=$?
  bash scripts/windows-run.sh build/win bash scripts/run-wine-tests.sh build/win -L wine 2>&1 \
    | tee -a build/logs/win-ctest.log || win_status=$?
fi

# The program supports Windows XP: the end-to-end tests again, with Wine reporting Windows XP.
echo "== windows end-to-end tests (Wine reporting Windows XP) =="
xp_status=0
bash scripts/windows-run.sh build/win bash scripts/run-wine-tests.sh --windows winxp build/win \
  -L e2e 2>&1 | tee build/logs/win-xp-ctest.log || xp_status=$?

# One closing line for all three runs, from CTest's own summaries (a log may hold several). CTest
# counts a skipped test as passed; here skips are counted on their own.
summary() {
  grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" \
    | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/' \
    | awk '{ failed += $1; total += $2; n++ } END { if (n) print failed, total }'
}
skipped_tests() { grep -E '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$1" || true; }
count() { [ -z "$1" ] && echo 0 || wc -l <<<"$1"; }
read -r host_failed host_total < <(summary build/logs/host-ctest.log) || true
read -r win_failed win_total < <(summary build/logs/win-ctest.log) || true
read -r xp_failed xp_total < <(summary build/logs/win-xp-ctest.log) || true
host_skips=$(skipped_tests build/logs/host-ctest.log)
win_skips=$(skipped_tests build/logs/win-ctest.log)
xp_skips=$(skipped_tests build/logs/win-xp-ctest.log)
skipped=$(( $(count "$host_skips") + $(count "$win_skips") + $(count "$xp_skips") ))
# The Windows runs take only the skips declared in tests/skips.txt (their logs give the reasons);
# the host declares none.
if [ -n "$host_skips" ]; then
  echo "host tests skipped, and no skip is declared for the host:"
  echo "$host_skips"
  host_status=1
fi
if [ -n "$win_skips$xp_skips" ]; then
  echo "declared skips (tests/skips.txt):"
  printf '%s\n' "$win_skips" "$xp_skips" | sed '/^$/d'
fi
failed=$(( ${host_failed:-1} + ${win_failed:-1} + ${xp_failed:-1} ))
total=$(( ${host_total:-0} + ${win_total:-0} + ${xp_total:-0} ))
passed=$(( total - failed - skipped ))
if [ $host_status -ne 0 ] || [ $win_status -ne 0 ] || [ $xp_status -ne 0 ] || [ $failed -ne 0 ]; then
  echo "test suite FAILED (host exit $host_status, windows exit $win_status, windows XP exit $xp_status)"
  echo "Total: $passed passed, $failed failed, $skipped skipped"
  exit 1
fi
echo "Total: $passed passed, 0 failed, $skipped skipped"
