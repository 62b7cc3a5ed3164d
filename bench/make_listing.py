#!/usr/bin/env python3
"""Writes the largest listing hlext1 accepts, for timing whole runs of the tool.

The molecule has 300 basis functions (the most a block may hold) on 33 atoms: 18 heavy atoms
of 15 functions each and 15 hydrogens of 2, so the largest atom group is 15 rows. Its 300
orbitals fill 50 blocks of six. N = 299 puts orbital N in the last block, so the header search
passes over every record of the 49 blocks before it (each one an energy line, a coefficient
row, a separator or a page record), and the one coefficient pass reads all 300 rows of the
last block. 490 records of job description precede the occupied-count record, so that search
reads 491 of the 500 records it may.

    python3 bench/make_listing.py OUTDIR

writes OUTDIR/hlext.dat and, for checking a run, OUTDIR/stdout.expected and
OUTDIR/fort.50.expected. Only the Python standard library is used; the output is the same on
every run.
"""

from __future__ import annotations

import random
import sys
from pathlib import Path

# The listing format and the expected results come from the model the golden tests use.
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "tools"))
from listing_model import Molecule, expected_outputs, listing_lines  # noqa: E402

BASIS_FUNCTIONS = 300
OCCUPIED = 299
PREAMBLE_LINES = 490
BLOCK_COLUMNS = 6

P_SHELL = ["PX", "PY", "PZ"]
D_SHELL = ["XX", "YY", "ZZ", "XY", "XZ", "YZ"]
HEAVY_SHELLS = ["S", "S"] + P_SHELL + ["S"] + P_SHELL + D_SHELL  # 15 functions
HYDROGEN_SHELLS = ["S", "S"]
HEAVY_ELEMENTS = ["C", "N", "O"]

# Rows (0-based) that a page record precedes in every block, as a line printer breaks pages.
PAGE_BREAKS = {57, 118, 179, 240}


def atoms() -> list[tuple[str, list[str]]]:
    heavy = [(HEAVY_ELEMENTS[i % 3], HEAVY_SHELLS) for i in range(18)]
    hydrogens = [("H", HYDROGEN_SHELLS)] * 15
    return heavy + hydrogens


def basis_functions() -> list[tuple[str, str, int]]:
    functions = []
    for number, (element, shells) in enumerate(atoms(), start=1):
        functions += [(label, element, number) for label in shells]
    assert len(functions) == BASIS_FUNCTIONS
    return functions


def preamble(rng: random.Random) -> list[str]:
    """Job description, geometry, basis set and integral statistics: 490 records."""
    molecule_atoms = atoms()
    lines = [
        " ******************************************************",
        " *      CLOSED-SHELL SCF MOLECULAR ORBITAL PROGRAM    *",
        " ******************************************************",
        "",
        " JOB TITLE: LARGEST ACCEPTED CASE, 300 BASIS FUNCTIONS",
        " DATE OF RUN ........................................... 2026-11-30 14:02",
        " BASIS SET  ............................................ 6-31G*",
        f" NUMBER OF ATOMS ....................................... {len(molecule_atoms):>3}",
        f" NUMBER OF BASIS FUNCTIONS ............................. {BASIS_FUNCTIONS:>3}",
        " CHARGE OF MOLECULE ....................................   0",
        " SPIN MULTIPLICITY .....................................   1",
        "",
        " NUCLEAR COORDINATES (BOHR)",
        "   ATOM        X              Y              Z",
    ]
    for number, (element, _) in enumerate(molecule_atoms, start=1):
        x, y, z = (rng.uniform(-9.0, 9.0) for _ in range(3))
        lines.append(f" {element:>2}{number:4d}  {x:14.8f} {y:14.8f} {z:14.8f}")
    lines += ["", " CONTRACTED GAUSSIAN BASIS", "   ATOM  SHELL  TYPE  PRIMITIVE"
              "        EXPONENT   CONTRACTION COEFFICIENT"]
    primitive = 0
    shell = 0
    for number, (element, shells) in enumerate(molecule_atoms, start=1):
        kinds = ["S", "L", "L", "D"] if shells is HEAVY_SHELLS else ["S", "S"]
        sizes = [6, 3, 1, 1] if shells is HEAVY_SHELLS else [3, 1]
        for kind, size in zip(kinds, sizes):
            shell += 1
            exponent = rng.uniform(2000.0, 5000.0) if kind == "S" else rng.uniform(0.1, 30.0)
            for _ in range(size):
                primitive += 1
                lines.append(f"   {element:>2}{number:3d}{shell:6d}{kind:>6}{primitive:10d}"
                             f"  {exponent:16.7f}   {rng.uniform(0.01, 0.9):12.9f}")
                exponent /= rng.uniform(3.0, 6.0)
    lines += ["", " ONE- AND TWO-ELECTRON INTEGRALS"]
    batch = 0
    while len(lines) < PREAMBLE_LINES - 2:
        batch += 1
        lines.append(f"   BATCH {batch:5d}   SHELL QUARTETS {rng.randrange(10**5, 10**6):9d}"
                     f"   INTEGRALS KEPT {rng.randrange(10**6, 10**7):10d}")
    lines += [" TWO-ELECTRON INTEGRALS ........................ written to scratch file", ""]
    assert len(lines) == PREAMBLE_LINES, len(lines)
    return lines


def orbital_energies(rng: random.Random) -> list[str]:
    energies = []
    cores = sum(1 for _, shells in atoms() if shells is HEAVY_SHELLS)
    for orbital in range(BASIS_FUNCTIONS):
        if orbital < cores:
            level = -20.7 + 0.08 * orbital - 0.01 * rng.random()
        elif orbital < OCCUPIED:
            level = -1.6 + 1.15 * (orbital - cores) / (OCCUPIED - cores) + 0.01 * rng.random()
        else:
            level = 0.12 + 0.05 * rng.random()
        energies.append(f"{level:.5f}")
    return energies


def write(out: Path) -> str:
    """Writes the listing and the expected outputs into `out`; gives a one-line summary."""
    out.mkdir(parents=True, exist_ok=True)
    rng = random.Random(300)
    energies = orbital_energies(rng)
    coefficients = [[f"{rng.uniform(-1.0, 1.0) * rng.choice((1, 1, 0.1)):.5f}"
                     for _ in range(BASIS_FUNCTIONS)] for _ in range(BASIS_FUNCTIONS)]
    molecule = Molecule("LARGEST ACCEPTED CASE", "6-31G*", OCCUPIED, basis_functions(), energies,
                        coefficients, PAGE_BREAKS)
    lines = listing_lines(molecule, preamble(rng))
    stdout, fort50 = expected_outputs(molecule)
    (out / "hlext.dat").write_text("\n".join(lines) + "\n")
    (out / "stdout.expected").write_text(stdout)
    (out / "fort.50.expected").write_text(fort50)
    return (f"{len(lines)} records, {BASIS_FUNCTIONS} basis functions, "
            f"{BASIS_FUNCTIONS // BLOCK_COLUMNS} blocks, N = {OCCUPIED} in the last block")


def main() -> int:
    if len(sys.argv) != 2:
        print("usage: make_listing.py OUTDIR", file=sys.stderr)
        return 2
    out = Path(sys.argv[1])
    print(f"{out / 'hlext.dat'}: {write(out)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
