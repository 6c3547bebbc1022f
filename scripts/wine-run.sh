#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest, bounded in time. The Wine prefix and the rest of
# the environment come from scripts/wine-env.sh, set up by the caller (scripts/test.sh).
set -u
# Where Wine runs under an emulator (VORMAK_TEST_TIME_SCALE) the bound stretches with the waits.
scale=${VORMAK_TEST_TIME_SCALE:-1}
case "$scale" in [1-9] | 1[0-9] | 20) ;; *) scale=1 ;; esac
limit=${VORMAK_WINE_TIMEOUT:-$((280 * scale))}
exec timeout --kill-after=10 "$limit" wine "$@"
