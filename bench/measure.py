#!/usr/bin/env python3
"""Measures hlext1 against its performance budget and prints the figures.

    python3 bench/measure.py --build DIR [--runs N] [--warmup N]

DIR is a build folder configured with HLEXT_BENCH=ON in which hlext1, hlext_process_timer and
hlext_record_reader_bench are built (bench/run.sh does all of it). The steps:

1. write the largest listing hlext1 accepts (make_listing.py) into DIR/largest-listing;
2. run hlext1 on it once and check its exit status, console and fort.50;
3. time hlext1, `wc -l hlext.dat` and `true` as whole processes, taking turns, and take the
   median wall time and the peak resident memory of each;
4. run the record reader benchmark and take the median records per second of each layout;
5. print the figures beside the budgets. The exit status is 0 when every budget holds.
"""

from __future__ import annotations

import argparse
import json
import os
import platform
import re
import shutil
import subprocess
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # leave no cache beside the sources
sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_listing  # noqa: E402

WALL_TIME_RATIO_BUDGET = 2.0  # hlext1 against `wc -l` on the same file
PEAK_RSS_BUDGET_KIB = 4 * 1024  # under 4 MiB
ROW_RECORDS_BUDGET = 5_000_000  # row records per second in the reader benchmark


def cpu_model() -> str:
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def check_run(hlext1: Path, folder: Path) -> str:
    result = subprocess.run([str(hlext1)], cwd=folder, capture_output=True, text=True)
    problems = []
    if result.returncode != 0:
        problems.append(f"exit status {result.returncode}: {result.stderr.strip()}")
    if result.stdout != (folder / "stdout.expected").read_text():
        problems.append(f"console {result.stdout!r}")
    if (folder / "fort.50").read_text() != (folder / "fort.50.expected").read_text():
        problems.append("fort.50 differs from fort.50.expected")
    if problems:
        raise SystemExit("hlext1 does not handle the largest listing: " + "; ".join(problems))
    occupied, rows = result.stdout.split()
    return f"exit status 0, N = {occupied}, {rows} rows, fort.50 as expected"


def time_processes(timer: Path, folder: Path, commands: list[list[str]], runs: int,
                   warmup: int) -> list[dict[str, float]]:
    argv = [str(timer), "--runs", str(runs), "--warmup", str(warmup), "--"]
    for index, command in enumerate(commands):
        argv += (["::"] if index else []) + command
    result = subprocess.run(argv, cwd=folder, capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f"timing failed:\n{result.stdout}{result.stderr}")
    figures = []
    for line in result.stdout.splitlines():
        pairs = dict(re.findall(r"(\w+)=(\S+)", line.split(" argv0=")[0]))
        figures.append({key: float(value) for key, value in pairs.items()})
    return figures


def reader_rates(bench: Path, repetitions: int) -> dict[str, float]:
    argv = [str(bench), "--benchmark_format=json", f"--benchmark_repetitions={repetitions}",
            "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.2"]
    result = subprocess.run(argv, capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f"record reader benchmark failed:\n{result.stderr}")
    rates = {}
    for entry in json.loads(result.stdout)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            rates[entry["run_name"]] = entry["records/s"]
    return rates


def verdict(met: bool) -> str:
    return "met" if met else "MISSED"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=31)
    parser.add_argument("--warmup", type=int, default=5)
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()

    build = args.build.resolve()
    hlext1 = build / "hlext1"
    timer = build / "bench" / "hlext_process_timer"
    bench = build / "bench" / "hlext_record_reader_bench"
    wc = shutil.which("wc")
    true = shutil.which("true")
    if wc is None or true is None:
        raise SystemExit("wc and true are needed on the PATH")

    folder = build / "largest-listing"
    summary = make_listing.write(folder)
    listing = folder / "hlext.dat"
    print(f"machine   {os.cpu_count()} CPUs, {cpu_model()}, {platform.system()} "
          f"{platform.release()}")
    print(f"listing   {listing}")
    print(f"          {listing.stat().st_size} bytes, {summary}")
    print(f"check     {check_run(hlext1, folder)}")

    hlext, wc_l, empty = time_processes(
        timer, folder, [[str(hlext1)], [wc, "-l", "hlext.dat"], [true]], args.runs, args.warmup)
    print()
    print(f"whole process, {args.runs} runs of each after {args.warmup} warm-up runs, taking "
          "turns, output to /dev/null")
    print(f"  {'command':<18}{'median':>10}{'min':>10}{'max':>10}{'peak RSS':>14}")
    for name, figures in (("hlext1", hlext), ("wc -l hlext.dat", wc_l), ("true", empty)):
        print(f"  {name:<18}{figures['median_us'] / 1000:>8.3f}ms{figures['min_us'] / 1000:>8.3f}ms"
              f"{figures['max_us'] / 1000:>8.3f}ms{figures['peak_rss_kib']:>10.0f} KiB")
    print("  (a peak RSS includes the timer's own small footprint, so `true` shows the floor)")

    rates = reader_rates(bench, args.repetitions)
    print()
    print(f"record reader, in memory, median of {args.repetitions} repetitions")
    for name, rate in rates.items():
        print(f"  {name:<22}{rate / 1e6:>8.2f} M records/s")

    ratio = hlext["median_us"] / wc_l["median_us"]
    rows = rates.get("row_layout", 0.0)
    budgets = [
        (f"wall time of hlext1 / wc -l: {ratio:.2f}", f"at most {WALL_TIME_RATIO_BUDGET:.1f}",
         ratio <= WALL_TIME_RATIO_BUDGET),
        (f"peak RSS of hlext1: {hlext['peak_rss_kib']:.0f} KiB", f"under {PEAK_RSS_BUDGET_KIB} KiB",
         hlext["peak_rss_kib"] < PEAK_RSS_BUDGET_KIB),
        (f"row records per second: {rows / 1e6:.2f} M", f"at least {ROW_RECORDS_BUDGET / 1e6:.0f} M",
         rows >= ROW_RECORDS_BUDGET),
    ]
    print()
    print("budget")
    for figure, limit, met in budgets:
        print(f"  {figure:<40}{limit:<18}{verdict(met)}")
    return 0 if all(met for _, _, met in budgets) else 1


if __name__ == "__main__":
    sys.exit(main())
