#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest, bounded in time. The Wine prefix and the rest of
# the environment come from scripts/wine-env.sh, set up by the caller (scripts/test.sh).
set -u
limit=${VORMAK_WINE_TIMEOUT:-280}
exec timeout --kill-after=10 "$limit" wine "$@"
