#!/usr/bin/env bash
# Runs a GoogleTest program (or a script that runs one) for CTest and judges what it ran, since
# GoogleTest exits 0 both for a skipped test and for a filter that selects nothing:
#   - no test run, or a positive filter pattern that selects no test: failed;
#   - a skipped test not declared for this environment in the skips file: failed;
#   - otherwise the program's own exit code, except that a run whose only blemish is declared
#     skips exits 77, which CTest reports as skipped (SKIP_RETURN_CODE 77).
#   gtest-verdict.sh <skips file> <ctest name> <command> [arguments...]
# The skips file holds "<ctest name> <Suite.Test> <environment> <reason>" lines. Environments:
# "wine" (every Wine run), "winxp" (Wine reporting Windows XP, VORMAK_WINDOWS_VERSION) and "guest"
# (Wine in the emulated guest, VORMAK_WINDOWS_HOST).
set -u
skips=$1 name=$2
shift 2

environments=" wine "
[ "${VORMAK_WINDOWS_VERSION:-}" = winxp ] && environments+="winxp "
[ "${VORMAK_WINDOWS_HOST:-}" = guest ] && environments+="guest "

filter=${GTEST_FILTER:-}
for argument in "$@"; do
  case "$argument" in --gtest_filter=*) filter=${argument#--gtest_filter=} ;; esac
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

# Programs built for Windows end their lines with CR LF.
mapfile -t ran < <(tr -d '\r' <"$log" | sed -nE 's/^\[ RUN      \] ([^ ]+)$/\1/p')
mapfile -t skipped < <(tr -d '\r' <"$log" | sed -nE 's/^\[  SKIPPED \] ([^ ]+) \([0-9]+ ms\)$/\1/p')

verdict() { echo "gtest-verdict: $name: $*"; }
bad=0
if ! tr -d '\r' <"$log" | grep -qE '^\[==========\] Running [0-9]+ tests?'; then
  verdict "no GoogleTest run seen"
  bad=1
elif [ ${#ran[@]} -eq 0 ]; then
  verdict "no test selected (filter '${filter:-*}')"
  bad=1
fi

# Each positive pattern must select a test: a renamed test must not drop out of its run unseen.
positive=${filter%%-*}
if [ ${#ran[@]} -gt 0 ] && [ -n "$positive" ]; then
  IFS=: read -ra patterns <<<"$positive"
  for pattern in "${patterns[@]}"; do
    [ -n "$pattern" ] || continue
    found=0
    for test in "${ran[@]}"; do
      # shellcheck disable=SC2053 # the pattern is a glob, as in GoogleTest
      if [[ $test == $pattern ]]; then found=1 && break; fi
    done
    if [ $found -eq 0 ]; then
      verdict "filter pattern '$pattern' selects no test"
      bad=1
    fi
  done
fi

declared=0
for test in "${skipped[@]}"; do
  reason=
  while read -r entry_name entry_test entry_environment entry_reason; do
    case "$entry_name" in '' | '#'*) continue ;; esac
    if [ "$entry_name" = "$name" ] && [ "$entry_test" = "$test" ] \
      && [[ $environments == *" $entry_environment "* ]]; then
      reason=${entry_reason:-?}
      break
    fi
  done <"$skips"
  if [ -n "$reason" ]; then
    verdict "skipped $test, as declared for $entry_environment: $reason"
    declared=1
  else
    verdict "skipped $test, and no skip is declared for it in this environment (${environments:1:-1})"
    bad=1
  fi
done

[ $status -ne 0 ] && exit $status
[ $bad -ne 0 ] && exit 1
[ $declared -ne 0 ] && exit 77
exit 0
