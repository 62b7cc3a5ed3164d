#!/bin/sh
# Builds hlext1 and the process timer optimised in their own folder (build/bench, or the folder
# named by HLEXT_BENCH_DIR), writes the listings, and prints the instruction counts (callgrind),
# wall times against `wc -l` and peak memory beside their budgets. Exits non-zero when a budget
# is missed.
#
#   bench/run.sh [--runs N] [--warmup N] [--instructions-only]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${HLEXT_BENCH_DIR:-$root/build/bench}
mkdir -p "$build"
log=$build/bench-build.log

if ! command -v valgrind >/dev/null 2>&1; then
  echo "bench/run.sh: valgrind is needed for the instruction counts" \
       "(Debian: apt-get install valgrind)" >&2
  exit 1
fi

generator=
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
  generator="-G Ninja"
fi

echo "building in $build (log: $log)"
# shellcheck disable=SC2086
if ! { cmake -S "$root" -B "$build" $generator -DCMAKE_BUILD_TYPE=Release -DHLEXT_BENCH=ON \
         -DBUILD_TESTING=OFF &&
       cmake --build "$build" --parallel 2 --target hlext1 hlext_process_timer; } >"$log" 2>&1
then
  cat "$log"
  echo "bench/run.sh: the build failed" >&2
  exit 1
fi

exec python3 "$root/bench/measure.py" --build "$build" "$@"
