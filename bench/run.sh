#!/bin/sh
# Builds hlext1 and the benchmarks optimised in their own folder (build/bench, or the folder
# named by HLEXT_BENCH_DIR), writes the largest listing hlext1 accepts, and prints the run-time
# figures beside their budgets. Exits non-zero when a budget is missed.
#
#   bench/run.sh [--runs N] [--warmup N] [--repetitions N]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${HLEXT_BENCH_DIR:-$root/build/bench}
mkdir -p "$build"
log=$build/bench-build.log

generator=
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
  generator="-G Ninja"
fi

echo "building in $build (log: $log)"
# shellcheck disable=SC2086
if ! { cmake -S "$root" -B "$build" $generator -DCMAKE_BUILD_TYPE=Release -DHLEXT_BENCH=ON \
         -DBUILD_TESTING=OFF &&
       cmake --build "$build" --parallel 2 --target hlext1 hlext_process_timer \
         hlext_record_reader_bench; } >"$log" 2>&1; then
  cat "$log"
  echo "bench/run.sh: the build failed; the benchmark needs Google Benchmark" \
       "(Debian: apt-get install libbenchmark-dev)" >&2
  exit 1
fi

exec python3 "$root/bench/measure.py" --build "$build" "$@"
