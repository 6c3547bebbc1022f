#!/usr/bin/env bash
# Benchmarks: a Release host tree without sanitizers (build/bench), every bench_* program in it.
# Results go to stdout; docs/PERFORMANCE.md records them with this command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DVORMAK_SANITIZE=OFF -DVORMAK_TESTS=OFF -DVORMAK_BENCH=ON >/dev/null
cmake --build build/bench -j "$(nproc)"
for program in $(find build/bench/bench -type f -name 'bench_*' -perm -u+x | sort); do
  echo "== $program =="
  "$program" --benchmark_min_time=0.5
done
