"""Writes the golden cases under tests/golden and the example listings under examples.

Run from the project root: python3 tests/tools/make_golden.py
Every expected file is worked out by listing_model, never by running hlext1.
"""

from __future__ import annotations

import copy
from pathlib import Path

from listing_model import (Molecule, expected_outputs, listing_lines, make_molecule, write_case)

ROOT = Path(__file__).resolve().parents[2]
GOLDEN = ROOT / "tests" / "golden"
EXAMPLES = ROOT / "examples"

P_SHELL = ["PX", "PY", "PZ"]
SPLIT_VALENCE_HEAVY = ["S", "S"] + P_SHELL + ["S"] + P_SHELL  # nine functions
MINIMAL_HEAVY = ["S", "S"] + P_SHELL


def text(lines: list[str]) -> str:
    return "\n".join(lines) + "\n"


def water() -> Molecule:
    return make_molecule("WATER, EQUILIBRIUM GEOMETRY", "6-31G", 5,
                         [("O", SPLIT_VALENCE_HEAVY), ("H", ["S", "S"]), ("H", ["S", "S"])],
                         seed=18)


def ozone() -> Molecule:
    return make_molecule("OZONE, C2V OPEN FORM", "6-31G", 12,
                         [("O", SPLIT_VALENCE_HEAVY)] * 3, seed=48, page_breaks={13})


def benzene() -> Molecule:
    atoms = [("C", MINIMAL_HEAVY)] * 6 + [("H", ["S"])] * 6
    return make_molecule("BENZENE, D6H", "STO-3G", 21, atoms, seed=78)


def golden(name: str, molecule: Molecule, lines: list[str] | None = None) -> None:
    stdout, fort50 = expected_outputs(molecule)
    write_case(GOLDEN / name, text(lines or listing_lines(molecule)), stdout, fort50)


def worked_example() -> None:
    """Rows S, S, PX, PY, PZ, S with N = 4; the expected file is typed in as given."""
    molecule = make_molecule("WORKED EXAMPLE", "MODEL", 4,
                             [("O", ["S", "S", "PX", "PY", "PZ"]), ("H", ["S"])], seed=1)
    molecule.energies[3], molecule.energies[4] = "-11.23456", "1.50000"
    molecule.coefficients[3] = ["0.21034", "-0.41230", "0.10000", "0.20000", "0.30000",
                                "-0.00002"]
    molecule.coefficients[4] = ["-0.05111", "0.33300", "-0.40000", "0.50000", "-0.60000",
                                "0.70000"]
    fort50 = text(["    6", "", "", "    E (  4 ) =  -11.23456",
                   "   0.21034  -0.41230   0.20000   0.30000   0.10000  -0.00002", "", "",
                   "    E (  5 ) =    1.50000",
                   "  -0.05111   0.33300   0.50000  -0.60000  -0.40000   0.70000"])
    write_case(GOLDEN / "worked-example", text(listing_lines(molecule)), "    4\n    6\n", fort50)


def split_with_row_counts(name: str, change: int) -> None:
    """Ozone, whose second block prints one row fewer (change -1) or one more (+1)."""
    molecule = ozone()
    lines = listing_lines(molecule)
    second_header = [i for i, line in enumerate(lines) if line.startswith("    ROOT NO.   13")][0]
    last_row = second_header + 5 + len(molecule.functions) + 2  # two separators and a page record, less one
    assert lines[last_row].startswith(" PZ  O   3"), lines[last_row]
    expected = copy.deepcopy(molecule)
    if change < 0:
        del lines[last_row]
        expected.coefficients[12][-1] = "0.00000"
    else:
        lines.insert(last_row + 1, lines[last_row].replace(" PZ ", " D "))
    stdout, fort50 = expected_outputs(expected)
    write_case(GOLDEN / name, text(lines), stdout, "Eigenvectors are not found\n" + fort50)


def refusals() -> None:
    filler = [f" LINE {i:4d} OF A LONG PRINTOUT WITH NO MARKER IN IT" for i in range(600)]
    not_found = "Eigenvectors are not found\n"
    write_case(GOLDEN / "refused-no-occupied-count", text(filler), "", not_found,
               before="an earlier result\n")
    lines = listing_lines(water())
    eige = lines.index("                EIGENVECTORS")
    write_case(GOLDEN / "refused-no-eigenvectors", text(lines[:eige] + filler), "    5\n",
               not_found)
    molecule = water()
    molecule.occupied = 20  # beyond the thirteen orbitals printed
    write_case(GOLDEN / "refused-no-block-header", text(listing_lines(molecule) + filler),
               "   20\n", not_found)


def failures() -> None:
    before = "    6\n\n\n    E (  4 ) =   -0.50000\n"
    lines = listing_lines(water())
    rhf = next(i for i, line in enumerate(lines) if line[10:14] == "RHF ")
    write_case(GOLDEN / "end-of-file-before-occupied-count", text(lines[:rhf]), "", before,
               status=1, before=before,
               stderr=f"hlext1: statement 13 (occupied-count search), unit 4 (hlext.dat), record {rhf + 1}: "
                      "end of file\n")
    blank_count = list(lines)
    blank_count[rhf] = blank_count[rhf][:58]
    write_case(GOLDEN / "blank-occupied-count", text(blank_count), "", before, status=1,
               before=before,
               stderr=f"hlext1: statement 13 (occupied-count search), unit 4 (hlext.dat), record {rhf + 1}, "
                      "columns 59-61 \"   \": bad occupied count\n")
    energies = next(i for i, line in enumerate(lines) if line.startswith("        ") and
                    "." in line[8:20] and i > rhf + 10)
    bad_energy = list(lines)
    bad_energy[energies] = bad_energy[energies][:20] + "  -1.2O3456" + bad_energy[energies][31:]
    write_case(GOLDEN / "bad-real-in-energies", text(bad_energy), "    5\n", "", status=1,
               stderr=f"hlext1: statement 46 (block energies), unit 4 (hlext.dat), record {energies + 1}, "
                      f"columns 21-32 \"{bad_energy[energies][20:32]}\": bad real\n")


def main() -> None:
    worked_example()
    golden("water-same-block", water())
    golden("ozone-split", ozone())
    split_with_row_counts("split-fewer-rows-in-next-block", -1)
    split_with_row_counts("split-more-rows-in-next-block", +1)
    golden("benzene-fourth-block", benzene())
    refusals()
    failures()
    for name, molecule in (("water", water()), ("ozone", ozone())):
        (EXAMPLES / name).mkdir(parents=True, exist_ok=True)
        (EXAMPLES / name / "hlext.dat").write_text(text(listing_lines(molecule)))
        stdout, fort50 = expected_outputs(molecule)
        (EXAMPLES / name / "fort.50.expected").write_text(fort50)
        (EXAMPLES / name / "stdout.expected").write_text(stdout)


if __name__ == "__main__":
    main()
