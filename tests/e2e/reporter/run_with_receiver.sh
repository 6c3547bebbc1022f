#!/usr/bin/env bash
# Runs a reporter end-to-end test program under Wine with a sample receiver on loopback (plain
# http, and https with a certificate made here that nothing trusts).
#   run_with_receiver.sh <python> <receiver.py> <work dir> <test.exe> [test arguments...]
# The receiver is started here, on the Linux side (a Windows program cannot start it), and is
# stopped when the test ends; it also stops by itself after its lifetime.
#   REPORTER_NATIVE_FIRST  comma-separated library names (no ".dll") that Wine should take from a
#                          program's folder before its builtins, as Windows does; they are passed
#                          to the test as --planted=<names>
set -u
python=$1 receiver=$2 work=$3 test_exe=$4
shift 4
# Where Wine runs under an emulator (VORMAK_TEST_TIME_SCALE) the bounds stretch with the waits.
scale=${VORMAK_TEST_TIME_SCALE:-1}
case "$scale" in [1-9] | 1[0-9] | 20) ;; *) scale=1 ;; esac
rm -rf "$work"
mkdir -p "$work/receiver"
# A certificate made for this run and trusted by no one: the https port must be refused.
if ! openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=127.0.0.1" \
    -addext "subjectAltName=IP:127.0.0.1" -keyout "$work/tls-key.pem" -out "$work/tls-cert.pem" \
    >/dev/null 2>&1; then
  echo "openssl could not make the receiver's certificate" >&2
  exit 1
fi
"$python" "$receiver" --dir "$work/receiver" --port-file "$work/port" \
  --dead-port-file "$work/dead-port" --lifetime $((540 * scale)) --tls-cert "$work/tls-cert.pem" \
  --tls-key "$work/tls-key.pem" --tls-port-file "$work/tls-port" &
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
timeout --kill-after=10 $((500 * scale)) wine "$test_exe" "$@" "${planted[@]}" --receiver-dir="$work/receiver" \
  --receiver-port="$(cat "$work/port")" --dead-port="$(cat "$work/dead-port")" \
  --tls-port="$(cat "$work/tls-port")"
