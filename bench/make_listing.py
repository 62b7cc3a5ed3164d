#!/usr/bin/env python3
"""Writes the listings bench/run.sh times hlext1 on.

largest: the largest listing hlext1 accepts. N = 999 (the most the three columns of the
occupied count hold) stands in the last of 167 blocks of 300 rows (the most a block may hold),
so N+1 = 1000 overflows the three columns of its energy line. Each search reads as many
records as it may: 499 records of job description come before the "RHF " record, which is the
500th record of the first search; 499 records of SCF iterations come before the "EIGE" heading,
the 500th record of the second; and each block header is the 499th record its search reads
(the four records after a header, 490 of rows, separators and page records, and four blank
records), so the 166 header searches pass over every record of the 166 blocks before the last
one. The one coefficient pass reads all 300 rows of the last block.

fifty-blocks: 300 basis functions in atom groups of up to 15 rows, 300 orbitals in 50 blocks,
N = 299 in the last block, 490 records before the "RHF " record.

final-far-down, read with --final: a job whose final set, in the layout of eight orbitals to a
block with ten-column fields, stands after an SCF iteration set and tens of thousands of
records of iteration printout; 300 basis functions and 300 orbitals, N = 150.

    python3 bench/make_listing.py OUTDIR [NAME...]

writes OUTDIR/NAME/hlext.dat and, for checking a run, OUTDIR/NAME/stdout.expected and
OUTDIR/NAME/fort.50.expected, for each NAME given (default: all). The listings and the expected
results come from the model the golden tests use (tests/tools/listing_model.py). Only the
Python standard library is used; the output is the same on every run.
"""

from __future__ import annotations

import random
import sys
from pathlib import Path

# The listing format and the expected results come from the model the golden tests use.
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "tools"))
from listing_model import Molecule, expected_outputs, listing_lines  # noqa: E402

BLOCK_COLUMNS = 6
SCAN_LIMIT = 500
MAX_ROWS = 300

P_SHELL = ["PX", "PY", "PZ"]
D_SHELL = ["XX", "YY", "ZZ", "XY", "XZ", "YZ"]
HEAVY_ELEMENTS = ["C", "N", "O"]


class Shape:
    """What a listing is made of: its atoms, orbitals, N and the records before the searches."""

    def __init__(self, title: str, basis: str, atoms: list[tuple[str, list[str]]], orbitals: int,
                 occupied: int, page_breaks: set[int], preamble_lines: int,
                 iteration_lines: int | None, seed: int, basis_per_element: bool = False) -> None:
        self.title = title
        self.basis = basis
        self.atoms = atoms
        self.orbitals = orbitals
        self.occupied = occupied
        self.page_breaks = page_breaks  # rows (0-based) that a page record precedes
        self.preamble_lines = preamble_lines
        self.iteration_lines = iteration_lines  # None: the model's own nine
        self.seed = seed
        self.basis_per_element = basis_per_element  # the basis of each element once, not each atom

    def functions(self) -> list[tuple[str, str, int]]:
        functions = []
        for number, (element, shells) in enumerate(self.atoms, start=1):
            functions += [(label, element, number) for label in shells]
        assert len(functions) <= MAX_ROWS
        return functions


def fifty_blocks() -> Shape:
    # 15 functions on each of 18 heavy atoms, 2 on each of 15 hydrogens: 300 rows.
    heavy_shells = ["S", "S"] + P_SHELL + ["S"] + P_SHELL + D_SHELL
    atoms = [(HEAVY_ELEMENTS[i % 3], heavy_shells) for i in range(18)] + [("H", ["S", "S"])] * 15
    return Shape("LARGEST ACCEPTED CASE", "6-31G*", atoms, orbitals=300, occupied=299,
                 page_breaks={57, 118, 179, 240}, preamble_lines=490, iteration_lines=None,
                 seed=300)


def largest() -> Shape:
    # 5 functions on each of 29 heavy atoms, 1 on each of 155 hydrogens: 300 rows in 184 atom
    # groups, so a block prints 183 separators and, with 7 page records, 490 records of rows.
    heavy = [(HEAVY_ELEMENTS[i % 3], ["S", "S"] + P_SHELL) for i in range(29)]
    atoms = heavy + [("H", ["S"])] * 155
    return Shape("LARGEST ACCEPTED LISTING", "STO-3G", atoms, orbitals=167 * BLOCK_COLUMNS,
                 occupied=999, page_breaks={40, 80, 120, 160, 200, 240, 280},
                 preamble_lines=SCAN_LIMIT - 1, iteration_lines=SCAN_LIMIT - 1, seed=999,
                 basis_per_element=True)


LISTINGS = {"largest": largest, "fifty-blocks": fifty_blocks}


def preamble(shape: Shape, rng: random.Random) -> list[str]:
    """Job description, geometry, basis set and integral statistics."""
    functions = len(shape.functions())
    lines = [
        " ******************************************************",
        " *      CLOSED-SHELL SCF MOLECULAR ORBITAL PROGRAM    *",
        " ******************************************************",
        "",
        f" JOB TITLE: {shape.title}, {functions} BASIS FUNCTIONS",
        " DATE OF RUN ........................................... 2026-11-30 14:02",
        f" BASIS SET  ............................................ {shape.basis}",
        f" NUMBER OF ATOMS ....................................... {len(shape.atoms):>3}",
        f" NUMBER OF BASIS FUNCTIONS ............................. {functions:>3}",
        " CHARGE OF MOLECULE ....................................   0",
        " SPIN MULTIPLICITY .....................................   1",
        "",
        " NUCLEAR COORDINATES (BOHR)",
        "   ATOM        X              Y              Z",
    ]
    for number, (element, _) in enumerate(shape.atoms, start=1):
        x, y, z = (rng.uniform(-9.0, 9.0) for _ in range(3))
        lines.append(f" {element:>2}{number:4d}  {x:14.8f} {y:14.8f} {z:14.8f}")
    lines += ["", " CONTRACTED GAUSSIAN BASIS", "   ATOM  SHELL  TYPE  PRIMITIVE"
              "        EXPONENT   CONTRACTION COEFFICIENT"]
    primitive = 0
    shell = 0
    printed = set()
    for number, (element, shells) in enumerate(shape.atoms, start=1):
        if shape.basis_per_element and element in printed:
            continue
        printed.add(element)
        if element == "H":
            kinds, sizes = ["S"] * len(shells), [3] + [1] * (len(shells) - 1)
        elif len(shells) == 15:
            kinds, sizes = ["S", "L", "L", "D"], [6, 3, 1, 1]
        else:
            kinds, sizes = ["S", "L"], [3, 3]
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
    while len(lines) < shape.preamble_lines - 2:
        batch += 1
        lines.append(f"   BATCH {batch:5d}   SHELL QUARTETS {rng.randrange(10**5, 10**6):9d}"
                     f"   INTEGRALS KEPT {rng.randrange(10**6, 10**7):10d}")
    lines += [" TWO-ELECTRON INTEGRALS ........................ written to scratch file", ""]
    assert len(lines) == shape.preamble_lines, len(lines)
    return lines


def iterations(shape: Shape, rng: random.Random) -> list[str] | None:
    """The SCF iterations between the "RHF " record and the eigenvector heading."""
    if shape.iteration_lines is None:
        return None
    lines = ["", " ITER      TOTAL ENERGY        E CHANGE       DENSITY CHANGE"]
    energy = -1200.0
    change = 0.5
    while len(lines) < shape.iteration_lines - 2:
        step = -change * rng.uniform(0.9, 1.0)
        energy += step
        change *= 0.985
        lines.append(f"{len(lines) - 1:5d}     {energy:13.9f}    {step:13.9f}       "
                     f"{abs(step) * rng.uniform(0.5, 2.0):11.9f}")
    lines += ["          DENSITY CONVERGED", ""]
    assert len(lines) == shape.iteration_lines, len(lines)
    return lines


def orbital_energies(shape: Shape, rng: random.Random) -> list[str]:
    energies = []
    cores = sum(1 for element, _ in shape.atoms if element != "H")
    for orbital in range(shape.orbitals):
        if orbital < cores:
            level = -20.7 + 0.08 * orbital - 0.01 * rng.random()
        elif orbital < shape.occupied:
            level = (-1.6 + 1.15 * (orbital - cores) / (shape.occupied - cores)
                     + 0.01 * rng.random())
        else:
            level = 0.12 + 0.05 * rng.random()
        energies.append(f"{level:.5f}")
    return energies


def check_searches(shape: Shape, lines: list[str]) -> None:
    """Where each search of a run matches, as the description of `shape` says."""
    rhf = next(i for i, line in enumerate(lines) if line[10:14] == "RHF ")
    eige = next(i for i, line in enumerate(lines) if line[16:20] == "EIGE")
    headers = [i for i, line in enumerate(lines) if line[4:8] == "ROOT"]
    assert rhf + 1 <= SCAN_LIMIT and eige - rhf <= SCAN_LIMIT, (rhf, eige)
    assert headers[0] == eige + 5, (eige, headers[0])
    assert all(b - a < SCAN_LIMIT for a, b in zip(headers, headers[1:]))
    assert len(headers) == -(-shape.orbitals // BLOCK_COLUMNS)
    assert (shape.occupied - 1) // BLOCK_COLUMNS == len(headers) - 1  # N in the last block
    if shape.iteration_lines is not None:
        assert rhf + 1 == SCAN_LIMIT and eige - rhf == SCAN_LIMIT, (rhf, eige)
        assert all(b - a == SCAN_LIMIT - 1 for a, b in zip(headers, headers[1:]))


def write_any(out: Path, name: str) -> str:
    if name in FINAL_LISTINGS:
        out.mkdir(parents=True, exist_ok=True)
        return FINAL_LISTINGS[name](out)
    return write(out, name)


def write(out: Path, name: str) -> str:
    """Writes listing `name` and its expected outputs into `out`; gives a one-line summary."""
    shape = LISTINGS[name]()
    out.mkdir(parents=True, exist_ok=True)
    rng = random.Random(shape.seed)
    energies = orbital_energies(shape, rng)
    functions = shape.functions()
    coefficients = [[f"{rng.uniform(-1.0, 1.0) * rng.choice((1, 1, 0.1)):.5f}"
                     for _ in functions] for _ in range(shape.orbitals)]
    molecule = Molecule(shape.title, shape.basis, shape.occupied, functions, energies,
                        coefficients, shape.page_breaks)
    lines = listing_lines(molecule, preamble(shape, rng), iterations(shape, rng))
    check_searches(shape, lines)
    stdout, fort50 = expected_outputs(molecule)
    (out / "hlext.dat").write_text("\n".join(lines) + "\n")
    (out / "stdout.expected").write_text(stdout)
    (out / "fort.50.expected").write_text(fort50)
    blocks = -(-shape.orbitals // BLOCK_COLUMNS)
    return (f"{len(lines)} records, {len(functions)} rows in each of {blocks} blocks, "
            f"N = {shape.occupied} in the last block")


def write_final(out: Path) -> str:
    """Writes the final-far-down listing and its expected outputs into `out`."""
    import final_cases  # the golden cases' model of the newer layouts

    atoms = [("C", ["S", "S", "Px", "Py", "Pz"] + final_cases.D_SHELL + ["S", "S", "Px", "Py", "Pz"])
             for _ in range(20)]  # 15 functions each
    final = final_cases.molecule(150, atoms, 300, 61, "eight-wide")
    start = final_cases.molecule(150, [(e, [s.upper() for s in shells]) for e, shells in atoms],
                                 300, 62, "six")
    rng = random.Random(63)
    printout = [f"    {i % 40 + 1:3d}  {rng.uniform(-500, -400):16.9f}  {rng.uniform(-1, 1):13.9f}"
                f"  DAMPED {rng.random():8.5f}" for i in range(60000)]
    lines = final_cases.job("C1", 150, final_cases.iteration_set(start, "six") + printout
                            + final_cases.final_set(final, "eight-wide"))
    (out / "hlext.dat").write_text("\n".join(lines) + "\n")
    (out / "stdout.expected").write_text(final_cases.console(150, 300))
    (out / "fort.50.expected").write_text(final_cases.expected(final, "Px"))
    heading = lines.index("                EIGENVECTORS  ") + 1
    return f"{len(lines)} records, the final set's heading at record {heading}, N = 150"


FINAL_LISTINGS = {"final-far-down": write_final}


def main() -> int:
    everything = list(LISTINGS) + list(FINAL_LISTINGS)
    names = sys.argv[2:] or everything
    if len(sys.argv) < 2 or any(name not in everything for name in names):
        print(f"usage: make_listing.py OUTDIR [{'|'.join(everything)}]...", file=sys.stderr)
        return 2
    for name in names:
        folder = Path(sys.argv[1]) / name
        print(f"{folder / 'hlext.dat'}: {write_any(folder, name)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
