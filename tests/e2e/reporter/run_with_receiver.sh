#!/usr/bin/env bash
# Runs a reporter end-to-end test program under Wine with a sample receiver on loopback.
#   run_with_receiver.sh <python> <receiver.py> <work dir> <test.exe> [test arguments...]
# The receiver is started here, on the Linux side (a Windows program cannot start it), and is
# stopped when the test ends; it also stops by itself after its lifetime.
#   REPORTER_NATIVE_FIRST  comma-separated library names (no ".dll") that Wine should take from a
#                          program's folder before its builtins, as Windows does; they are passed
#                          to the test as --planted=<names>
set -u
python=$1 receiver=$2 work=$3 test_exe=$4
shift 4
rm -rf "$work"
mkdir -p "$work/receiver"
"$python" "$receiver" --dir "$work/receiver" --port-file "$work/port" \
  --dead-port-file "$work/dead-port" --lifetime 540 &
receiver_pid=$!
trap 'kill "$receiver_pid" 2>/dev/null; wait "$receiver_pid" 2>/dev/null' EXIT
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  sleep 0.1
done
if [ ! -s "$work/port" ]; then
  echo "the sample receiver did not start" >&2
  exit 1
fi
planted=()
if [ -n "${REPORTER_NATIVE_FIRST:-}" ]; then
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};$REPORTER_NATIVE_FIRST=n,b"
  planted=(--planted="$REPORTER_NATIVE_FIRST")
fi
timeout --kill-after=10 500 wine "$test_exe" "$@" "${planted[@]}" --receiver-dir="$work/receiver" \
  --receiver-port="$(cat "$work/port")" --dead-port="$(cat "$work/dead-port")"
