"""Writes the golden cases under tests/golden and the example listings under examples.

Run from the project root: python3 tests/tools/make_golden.py
Every expected file is worked out by listing_model, never by running hlext1.
"""

from __future__ import annotations

import copy
from pathlib import Path

from final_cases import cases as final_cases
from listing_model import (Molecule, expected_outputs, failure, label_sighting, listing_lines,
                           make_molecule, refusal_warning, sighting_at_end, warning, write_case)

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
    # The second pass ends at the second blank record after the block's last row.
    pass_end = last_row + change + 3
    assert lines[pass_end - 3].strip() and not lines[pass_end - 2] and not lines[pass_end - 1]
    n, rows = molecule.occupied, len(molecule.functions)
    stderr = warning(126, "row-count warning",
                     f"orbital {n}'s block has {rows} rows and orbital {n + 1}'s block "
                     f'{rows + change}, ending at this record: "Eigenvectors are not found" heads '
                     f"fort.50 for this, and both orbitals are written with {rows} rows",
                     record=pass_end)
    stdout, fort50 = expected_outputs(expected)
    write_case(GOLDEN / name, text(lines), stdout, "Eigenvectors are not found\n" + fort50,
               stderr=stderr)


def header_without_next_orbital() -> None:
    """Every orbital occupied (N = 13, the last printed): its header lists no orbital 14 in the
    next block column, which reads blank; orbital 14 is written as energy 0, coefficients 0."""
    molecule = water()
    molecule.occupied = 13
    lines = listing_lines(molecule)
    header = next(i for i, line in enumerate(lines) if line.startswith("    ROOT NO.   13"))
    column = (molecule.occupied - 1) % 6 + 1
    first = 13 + 12 * column
    field = (first, first + 4, lines[header].ljust(80)[first - 1:first + 4])
    stderr = warning(32, "block header search",
                     f"after orbital 13 in block column {column}, block column {column + 1} is "
                     "blank (read as 0), not orbital 14: the energy and coefficients given for "
                     "orbital 14 in fort.50 are that column's", record=header + 1, field=field)
    stdout, fort50 = expected_outputs(molecule)
    write_case(GOLDEN / "header-without-next-orbital", text(lines), stdout, fort50, stderr=stderr)


def count_record_before_heading() -> None:
    """Two jobs in one listing: water's stops before its eigenvectors, ozone's follows. The
    heading search passes over ozone's count record, and ozone's orbitals are written under
    water's N = 5."""
    first_job = listing_lines(water())
    first_job = first_job[:first_job.index("                EIGENVECTORS")]
    lines = first_job + listing_lines(ozone())
    counts = [i for i, line in enumerate(lines) if line[10:14] == "RHF "]
    heading = lines.index("                EIGENVECTORS")
    stderr = warning(22, "eigenvector heading search",
                     f'"RHF " in columns 11-14 with count {ozone().occupied}, after the count '
                     f"{water().occupied} of record {counts[0] + 1} and before the heading of "
                     f"record {heading + 1}: the eigenvectors found may belong to a later job",
                     record=counts[1] + 1)
    expected = ozone()
    expected.occupied = water().occupied
    stdout, fort50 = expected_outputs(expected)
    write_case(GOLDEN / "count-record-before-heading", text(lines), stdout, fort50, stderr=stderr)


def refusals() -> None:
    filler = [f" LINE {i:4d} OF A LONG PRINTOUT WITH NO MARKER IN IT" for i in range(600)]
    not_found = "Eigenvectors are not found\n"
    write_case(GOLDEN / "refused-no-occupied-count", text(filler), "", not_found,
               before="an earlier result\n", stderr=refusal_warning(16, 1))
    lines = listing_lines(water())
    eige = lines.index("                EIGENVECTORS")
    rhf = next(i for i, line in enumerate(lines) if line[10:14] == "RHF ")
    write_case(GOLDEN / "refused-no-eigenvectors", text(lines[:eige] + filler), "    5\n",
               not_found, stderr=refusal_warning(25, rhf + 2))
    molecule = water()
    molecule.occupied = 20  # beyond the thirteen orbitals printed
    lines = listing_lines(molecule) + filler
    last_header = max(i for i, line in enumerate(lines) if line[4:8] == "ROOT")
    write_case(GOLDEN / "refused-no-block-header", text(lines), "   20\n", not_found,
               stderr=refusal_warning(34, last_header + 2, molecule.occupied))


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


def labels_elsewhere() -> None:
    """Searches that fail although the listing holds their label, in other columns: a count
    line printed four columns to the left, and a heading two columns to the right and more than
    500 records after the count line, with a mention of eigenvectors in prose before it."""
    before = "an earlier result\n"
    lines = listing_lines(water())
    rhf = next(i for i, line in enumerate(lines) if line[10:14] == "RHF ")
    shifted = list(lines)
    shifted[rhf] = "      RHF CALCULATION, NO. OF DOUBLY OCCUPIED LEVELS = 5"
    end = len(shifted) + 1
    note = sighting_at_end("RHF ", 11, label_sighting(shifted, 1, end - 1, "RHF ", 11), True)
    write_case(GOLDEN / "count-line-shifted-left", text(shifted), "", before, status=1,
               before=before, stderr=failure(13, "occupied-count search", end, "end of file", note))
    eige = lines.index("                EIGENVECTORS")
    filler = [f" LINE {i:4d} OF A LONG PRINTOUT WITH NO MARKER IN IT" for i in range(520)]
    late = (lines[:rhf + 2] + [" CONVERGENCE CHECKED BY EIGENVECTOR FOLLOWING"] + lines[rhf + 2:eige]
            + filler + ["  " + lines[eige]] + lines[eige + 1:])
    write_case(GOLDEN / "heading-shifted-right-past-limit", text(late), "    5\n",
               "Eigenvectors are not found\n", stderr=refusal_warning(25, rhf + 2, lines=late))


def main() -> None:
    worked_example()
    split_with_row_counts("split-fewer-rows-in-next-block", -1)
    split_with_row_counts("split-more-rows-in-next-block", +1)
    golden("benzene-fourth-block", benzene())
    header_without_next_orbital()
    count_record_before_heading()
    refusals()
    failures()
    labels_elsewhere()
    final_cases(GOLDEN)
    # Water (orbitals N and N+1 in one block) and ozone (split between two) are examples, which
    # the golden runner runs as well: no golden case repeats them.
    for name, molecule in (("water", water()), ("ozone", ozone())):
        (EXAMPLES / name).mkdir(parents=True, exist_ok=True)
        (EXAMPLES / name / "hlext.dat").write_text(text(listing_lines(molecule)))
        stdout, fort50 = expected_outputs(molecule)
        (EXAMPLES / name / "fort.50").write_text(fort50)
        (EXAMPLES / name / "stdout").write_text(stdout)
        (EXAMPLES / name / "status").write_text("0\n")


if __name__ == "__main__":
    main()
