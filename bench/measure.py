#!/usr/bin/env python3
"""Measures hlext1 against its performance budgets and prints the figures.

    python3 bench/measure.py --build DIR [--runs N] [--warmup N] [--instructions-only]

DIR is a build folder configured with HLEXT_BENCH=ON in which hlext1 and hlext_process_timer
are built (bench/run.sh does all of it). For each of three listings (the largest one hlext1
accepts and the 50-block one, both written by make_listing.py, and the water example):

1. run hlext1 on it once and check its exit status, console and fort.50;
2. count the instructions of one run under callgrind (they do not drift with the machine's
   load, so they are the figure to compare between changes);
3. time hlext1 and `wc -l hlext.dat` as whole processes, taking turns, and take the median of
   the ratios of the paired runs, and the peak resident memory of hlext1.

Then it prints one table of the figures beside their budgets (bench/README.md reads it); the
exit status is 0 when every budget holds.
With --instructions-only it stops after step 2 and judges the instruction budgets alone: they
do not depend on the machine's load, so this is the check to run on a busy machine.
"""

from __future__ import annotations

import argparse
import datetime
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True  # leave no cache beside the sources
sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_listing  # noqa: E402

ROOT = Path(__file__).resolve().parents[1]
MIN_RUNS = 30

# Listing: (most instructions of one run, most wall time against `wc -l`, or None). The
# instruction budgets stand about a fifth above what the code takes, so a search whose fast
# path is switched off, in whole or in part (its key character unused), misses them.
BUDGETS = {
    "largest": (3_700_000, 1.25),
    "fifty-blocks": (1_800_000, 1.10),
    "water": (150_000, None),
    "final-far-down": (5_200_000, 1.25),
}
# The arguments each listing is read with.
ARGUMENTS = {"final-far-down": ["--final"]}
RECORDS: dict[str, int] = {}  # of each listing, as written
PEAK_RSS_BUDGET_KIB = 2 * 1024  # under 2 MiB on every listing


def cpu_model() -> str:
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def machine() -> str:
    system = f"{platform.system()} {platform.release()}"
    try:
        system += ", " + platform.freedesktop_os_release()["PRETTY_NAME"]
    except (AttributeError, OSError, KeyError):
        pass
    return f"{os.cpu_count()} CPUs, {cpu_model()}, {system}"


def compiler(build: Path) -> str:
    cache = (build / "CMakeCache.txt").read_text()
    found = re.search(r"^CMAKE_CXX_COMPILER:\w+=(.+)$", cache, re.MULTILINE)
    if not found:
        return "unknown compiler"
    result = subprocess.run([found.group(1), "--version"], capture_output=True, text=True)
    return result.stdout.splitlines()[0] if result.stdout else found.group(1)


def write_listings(folder: Path) -> dict[str, Path]:
    folders = {}
    for name in ("largest", "fifty-blocks", "final-far-down"):
        folders[name] = folder / name
        summary = make_listing.write_any(folders[name], name)
        print(f"listing   {name}: {summary}")
    water = folder / "water"
    water.mkdir(parents=True, exist_ok=True)
    for source, target in (("hlext.dat", "hlext.dat"), ("stdout", "stdout.expected"),
                           ("fort.50", "fort.50.expected")):
        shutil.copyfile(ROOT / "examples" / "water" / source, water / target)
    folders["water"] = water
    print("listing   water: examples/water")
    for name, path in folders.items():
        listing = path / "hlext.dat"
        records = listing.read_bytes().count(b"\n")
        RECORDS[name] = records
        print(f"          {name}: {records} records, {listing.stat().st_size} bytes")
    return folders


def check_result(folder: Path, stdout: str, returncode: int, stderr: str) -> list[str]:
    problems = []
    if returncode != 0:
        problems.append(f"exit status {returncode}: {stderr.strip()}")
    if stdout != (folder / "stdout.expected").read_text():
        problems.append(f"console {stdout!r}")
    if (folder / "fort.50").read_text() != (folder / "fort.50.expected").read_text():
        problems.append("fort.50 differs from fort.50.expected")
    return problems


def check_run(hlext1: Path, name: str, folder: Path) -> None:
    result = subprocess.run([str(hlext1)] + ARGUMENTS.get(name, []), cwd=folder,
                            capture_output=True, text=True)
    problems = check_result(folder, result.stdout, result.returncode, result.stderr)
    if problems:
        raise SystemExit(f"hlext1 does not handle the {name} listing: " + "; ".join(problems))


def instructions(valgrind: str, hlext1: Path, name: str, folder: Path) -> int:
    with tempfile.TemporaryDirectory() as scratch:
        out = Path(scratch) / "callgrind.out"
        result = subprocess.run([valgrind, "--tool=callgrind", f"--callgrind-out-file={out}",
                                 str(hlext1)] + ARGUMENTS.get(name, []), cwd=folder,
                                capture_output=True, text=True)
        # valgrind's own messages go to standard error beside hlext1's.
        problems = check_result(folder, result.stdout, result.returncode, "")
        if problems:
            raise SystemExit(f"hlext1 under callgrind, {name} listing: " + "; ".join(problems)
                             + "\n" + result.stderr)
        found = re.search(r"^(?:summary|totals): (\d+)", out.read_text(), re.MULTILINE)
        if not found:
            raise SystemExit(f"no instruction count in callgrind's output for {name}")
        return int(found.group(1))


def time_processes(timer: Path, folder: Path, commands: list[list[str]], runs: int,
                   warmup: int) -> list[dict[str, object]]:
    argv = [str(timer), "--runs", str(runs), "--warmup", str(warmup), "--"]
    for index, command in enumerate(commands):
        argv += (["::"] if index else []) + command
    result = subprocess.run(argv, cwd=folder, capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f"timing failed:\n{result.stdout}{result.stderr}")
    figures = []
    for line in result.stdout.splitlines():
        pairs = dict(re.findall(r"(\w+)=(\S+)", line.split(" argv0=")[0]))
        entry: dict[str, object] = {key: float(value) for key, value in pairs.items()
                                    if key != "runs_us"}
        entry["runs_us"] = [float(value) for value in pairs["runs_us"].split(",")]
        figures.append(entry)
    return figures


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=31)
    parser.add_argument("--warmup", type=int, default=5)
    parser.add_argument("--instructions-only", action="store_true",
                        help="count instructions and judge their budgets; time nothing")
    args = parser.parse_args()
    if args.runs < MIN_RUNS:
        parser.error(f"--runs must be at least {MIN_RUNS}")

    build = args.build.resolve()
    hlext1 = build / "hlext1"
    timer = build / "bench" / "hlext_process_timer"
    wc = shutil.which("wc")
    true = shutil.which("true")
    valgrind = shutil.which("valgrind")
    if wc is None or true is None:
        raise SystemExit("wc and true are needed on the PATH")
    if valgrind is None:
        raise SystemExit("valgrind is needed for the instruction counts "
                         "(Debian: apt-get install valgrind)")

    print(f"date      {datetime.datetime.now().astimezone().isoformat(timespec='seconds')}")
    print(f"machine   {machine()}")
    print(f"compiler  {compiler(build)}")
    folders = write_listings(build / "listings")
    for name, folder in folders.items():
        check_run(hlext1, name, folder)
    print("check     exit status 0, console and fort.50 as expected on every listing")

    counts = {name: instructions(valgrind, hlext1, name, folder)
              for name, folder in folders.items()}
    if args.instructions_only:
        return table(counts, None)

    print()
    print(f"whole process, {args.runs} runs of each after {args.warmup} warm-up runs, taking "
          "turns, output to /dev/null")
    print(f"  {'listing':<14}{'hlext1':>10}{'wc -l':>10}{'true':>10}{'paired ratio':>14}"
          f"{'peak RSS':>12}")
    timings = {}
    for name, folder in folders.items():
        hlext, wc_l, empty = time_processes(
            timer, folder, [[str(hlext1)] + ARGUMENTS.get(name, []), [wc, "-l", "hlext.dat"],
                            [true]], args.runs,
            args.warmup)
        ratio = statistics.median(h / w for h, w in zip(hlext["runs_us"], wc_l["runs_us"]))
        timings[name] = (ratio, float(hlext["peak_rss_kib"]))
        print(f"  {name:<14}{hlext['median_us'] / 1000:>8.3f}ms{wc_l['median_us'] / 1000:>8.3f}ms"
              f"{empty['median_us'] / 1000:>8.3f}ms{ratio:>14.2f}"
              f"{hlext['peak_rss_kib']:>8.0f} KiB")
    print("  (medians; the ratio is the median of hlext1 / wc -l over the paired runs; a peak RSS")
    print("  includes the timer's own small footprint, which `true` would show as its floor)")
    return table(counts, timings)


def cell(figure: str, limit: str | None, met: bool) -> str:
    if limit is None:
        return figure
    return f"{figure} ({limit}{'' if met else ': MISSED'})"


def table(counts: dict[str, int], timings: dict[str, tuple[float, float]] | None) -> int:
    """Prints the figures of every listing beside their budgets; gives the exit status."""
    header = ["Listing", "Instructions (budget)", "Per record"]
    if timings is not None:
        header += ["Wall time / `wc -l` (budget)", "Peak RSS (budget)"]
    print()
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    all_met = True
    for name, (most_instructions, most_ratio) in BUDGETS.items():
        met = counts[name] <= most_instructions
        row = [name, cell(f"{counts[name]:,}", f"at most {most_instructions:,}", met),
               f"{counts[name] / RECORDS[name]:.1f}"]
        all_met = all_met and met
        if timings is not None:
            ratio, peak = timings[name]
            ratio_met = most_ratio is None or ratio <= most_ratio
            peak_met = peak < PEAK_RSS_BUDGET_KIB
            limit = None if most_ratio is None else f"at most {most_ratio:.2f}"
            row += [cell(f"{ratio:.2f}", limit, ratio_met),
                    cell(f"{peak:.0f} KiB", f"under {PEAK_RSS_BUDGET_KIB} KiB", peak_met)]
            all_met = all_met and ratio_met and peak_met
        print("| " + " | ".join(row) + " |")
    print()
    print("every budget met" if all_met else "a budget is MISSED")
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main())
