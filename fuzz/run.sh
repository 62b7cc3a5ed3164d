#!/usr/bin/env bash
# Builds the fuzz targets (clang++, the fuzz preset) and runs each one for a bounded time,
# starting from the listings under examples/ and tests/golden/ and from whatever corpus earlier
# runs left in build/fuzz/fuzz/corpus/. Fails on any crash, leak, sanitizer report or timeout;
# the input that caused it is kept in build/fuzz/fuzz/findings/<target>/.
#
#   fuzz/run.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=build/fuzz/fuzz
status=0
summary=()
for target in whole_run_fuzzer record_reader_fuzzer; do
  corpus=$work/corpus/$target
  findings=$work/findings/$target
  log=$work/$target.log
  mkdir -p "$corpus" "$findings"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$findings/")
  # The record reader meets line ends at every refill through its chunked source, so short
  # inputs (the first 4 KiB of the listings) keep it fast without losing what it tests.
  [ "$target" = record_reader_fuzzer ] && options+=(-max_len=4096)
  echo "fuzzing $target for $seconds s (log: $log)"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$work/$target" "${options[@]}" "$corpus" "$work/seeds" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    tail -n 60 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  summary+=("$target: $result, ${runs:-?} executions in $seconds s")
done

printf '%s\n' "${summary[@]}"
exit $status
