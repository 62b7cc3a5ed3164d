"""Golden cases for listings as newer versions of the listing program print them: the count line
in its three forms, eigenvector blocks in the four block layouts, sets printed after an SCF
iteration before the final set, open shells, several jobs, windows of orbitals and d shells.
Each row of CASES is one run of hlext1 (with --final, or without it), and its expected outputs
are worked out here from the values printed, never by running the tool.
"""

from __future__ import annotations

import random
from dataclasses import dataclass, field
from pathlib import Path

from listing_model import COUNT_PHRASE, fixed, integer, single, warning, write_case
from listing_model import Molecule as SixMolecule, expected_outputs  # the default run's model

def eight_style(first: int, step: int, lead: int, width: int, atom: int) -> dict:
    """A layout of eight orbitals to a block: the first orbital number ends in column
    11 + `first`, each next one `step` columns further; values `width` columns wide from column
    `lead` + 1; the atom number `atom` columns wide after the element symbol."""
    return dict(width=8, symmetry=True, p="Px",
                header=lambda o: "   Root No." + "".join(
                    f"{n:{first if i == 0 else step}d}" for i, n in enumerate(o)),
                energy=lambda e: " " * lead + "".join(v.rjust(width) for v in e),
                row=lambda f, v: f"  {f[0]:<2} {f[1]:>2}{f[2]:{atom}d}" + "".join(
                    x.rjust(width) for x in v))


# The block layouts: orbitals to a block, how a header, an energy line and a row are printed,
# and whether a record of symmetry labels stands between header and energies.
LAYOUTS = {
    "six": dict(width=6, symmetry=False, p="PX",
                header=lambda o: "    ROOT NO." + "".join(f"{n:5d}       " for n in o).rstrip(),
                energy=lambda e: "        " + "".join(f"{float(v):12.5f}" for v in e),
                row=lambda f, v: f" {f[0]:<2}{f[1]:>3}{f[2]:4d}" + "".join(
                    f"{float(x):12.5f}" for x in v)),
    "eight": eight_style(5, 8, 10, 8, 3),
    "eight-shifted": eight_style(6, 8, 11, 8, 4),
    "eight-wide": eight_style(8, 10, 12, 10, 5),
}

# The count line's forms: "RHF " in columns 11-14 with N in 59-61; in columns 7-10 with N
# right-justified to column 59; in columns 7-10 with N left-justified from column 56.
COUNT_FORMS = {
    "C0": lambda n: (" " * 10 + COUNT_PHRASE).ljust(58) + f"{n:3d}",
    "C1": lambda n: " " * 6 + COUNT_PHRASE + f"{n:5d}",
    "C2": lambda n: " " * 6 + COUNT_PHRASE + f" {n}",
}

D_SHELL = ["x2", "xz", "z2", "yz", "xy"]


@dataclass
class Molecule:
    occupied: int
    functions: list[tuple[str, str, int]]
    orbitals: int
    seed: int
    energies: list[str] = field(default_factory=list)
    coefficients: list[list[str]] = field(default_factory=list)  # [orbital][function]


def molecule(occupied: int, atoms, orbitals: int, seed: int, layout: str) -> Molecule:
    """Values as the layout prints them: five decimals in the six-column layout, else three for
    energies and four for coefficients, some without their leading zero."""
    functions = [(label, element, number) for number, (element, shells) in
                 enumerate(atoms, start=1) for label in shells]
    m = Molecule(occupied, functions, orbitals, seed)
    rng = random.Random(seed)
    five = layout == "six"
    for orbital in range(orbitals):
        level = -30.0 + 40.0 * orbital / orbitals + rng.random()
        m.energies.append(f"{level:.5f}" if five else f"{level:.3f}")
        column = []
        for _ in functions:
            value = rng.uniform(-1.0, 1.0)
            text = f"{value:.5f}" if five else f"{value:.4f}"
            if not five and layout == "eight" and rng.random() < 0.5:
                text = text.replace("0.", ".", 1)
            column.append(text)
        m.coefficients.append(column)
    return m


def block_lines(m: Molecule, layout: str, window: tuple[int, int]) -> list[str]:
    """The blocks of orbitals window[0]..window[1] (from 1), without the heading."""
    style = LAYOUTS[layout]
    lines: list[str] = []
    orbitals = list(range(window[0], window[1] + 1))
    for start in range(0, len(orbitals), style["width"]):
        block = orbitals[start:start + style["width"]]
        energies = style["energy"]([m.energies[o - 1] for o in block])
        if style["symmetry"]:  # header, blank, symmetry labels, blank, energies, blanks
            lines += [style["header"](block), "",
                      "              " + "".join(f"{n % 9 + 1} A1    " for n in block), "",
                      energies, "  "]
        else:  # the header five records after the heading, energies two records after it
            lines += ["", "", style["header"](block), "", energies, "  ", "  "]
        atom = m.functions[0][2]
        for index, function in enumerate(m.functions):
            if layout == "six" and function[2] != atom:
                lines.append("")
                atom = function[2]
            lines.append(style["row"](function, [m.coefficients[o - 1][index] for o in block]))
        lines += ["", ""]
    return lines


def final_set(m: Molecule, layout: str, window: tuple[int, int] | None = None) -> list[str]:
    return ["                EIGENVECTORS  ", "", ""] + block_lines(
        m, layout, window or (1, m.orbitals))


def iteration_set(m: Molecule, layout: str) -> list[str]:
    return (["                EIGENVECTORS AND EIGENVALUES ON ITERATION  1", "", ""]
            + block_lines(m, layout, (1, m.orbitals)))


def job(form: str, n: int, body: list[str], open_shell: str | None = None) -> list[str]:
    lines = [" JOB", COUNT_FORMS[form](n), ""]
    if open_shell:
        lines.append(open_shell)
    return lines + [" SCF DONE", ""] + body + [" ...... END OF RHF CALCULATION ......", ""]


def expected(m: Molecule, p_label: str) -> tuple[str, str]:
    """fort.50 of orbitals N and N+1 of `m`, every p shell written y, z, x."""
    n, rows = m.occupied, len(m.functions)
    result = integer(rows, 5) + "\n"
    for orbital in (n, n + 1):
        values = [single(v) for v in m.coefficients[orbital - 1]]
        ordered, i = list(values), 0
        while i < rows:
            if m.functions[i][0] == p_label:
                ordered[i:i + 3] = [values[i + 1], values[i + 2], values[i]]
                i += 3
            else:
                i += 1
        result += f"\n\n    E ({integer(orbital, 3)} ) = {fixed(single(m.energies[orbital - 1]), 10, 5)}\n"
        result += "\n".join("".join(fixed(v, 10, 5) for v in ordered[k:k + 12])
                            for k in range(0, rows, 12)) + "\n"
    return result


def console(n: int, rows: int | None) -> str:
    return integer(n, 5) + "\n" + (integer(rows, 5) + "\n" if rows is not None else "")


def refusal(why: str) -> str:
    return warning(216, "final orbitals not found", why)


WATER = [("O", ["S", "S", "Px", "Py", "Pz", "S", "Px", "Py", "Pz"]), ("H", ["S", "S"]),
         ("H", ["S", "S"])]
WATER_SIX = [(e, [s.upper() for s in shells]) for e, shells in WATER]
METAL = [("Ti", ["S", "Px", "Py", "Pz"] + D_SHELL + ["S"]), ("O", ["S", "Px", "Py", "Pz"])]


def record_of(lines: list[str], text: str, occurrence: int = 1) -> int:
    found = [i + 1 for i, line in enumerate(lines) if line.rstrip() == text.rstrip()]
    return found[occurrence - 1]


def cases(golden: Path) -> None:
    """One golden case per row: the listing, the arguments and what the run must give."""
    def case(name, lines, args, stdout, fort50, status=0, stderr=""):
        write_case(golden / name, "\n".join(lines) + "\n", stdout, fort50, status, stderr)
        (golden / name / "args").write_text("".join(a + "\n" for a in args))

    # The six-column layout with a C0 count line: an iteration set, then the final set.
    start = molecule(4, WATER_SIX, 13, 5, "six")
    final = molecule(4, WATER_SIX, 13, 6, "six")
    lines = job("C0", 4, iteration_set(start, "six") + final_set(final, "six"))
    heading, final_heading = record_of(lines, iteration_set(start, "six")[0]), record_of(
        lines, "                EIGENVECTORS")
    case("final-six-column-after-iteration", lines, ["--final"], console(4, 13),
         expected(final, "PX"))

    default = SixMolecule("", "", 4, start.functions, start.energies, start.coefficients)
    stdout, fort50 = expected_outputs(default)
    case("iteration-set-warned", lines, [], stdout, fort50, stderr=warning(
        22, "eigenvector heading search",
        'the heading reads "EIGENVECTORS AND EIGENVALUES ON ITERATION  1": these are the '
        "vectors of SCF iteration 1, not the final ones; record "
        f"{final_heading} heads the final set, which hlext1 --final reads", heading))

    # Eight to a block, C1: orbital N last in its block, N+1 first in the next.
    split = molecule(8, WATER, 13, 7, "eight")
    case("final-eight-c1-split", job("C1", 8, final_set(split, "eight")), ["--final"],
         console(8, None), expected(split, "Px"))

    # One column further right, C2, a d shell on the metal.
    metal = molecule(5, METAL, 14, 8, "eight-shifted")
    case("final-eight-shifted-c2-d-shell", job("C2", 5, final_set(metal, "eight-shifted")),
         ["--final"], console(5, len(metal.functions)), expected(metal, "Px"))

    # Ten-column fields, C0, a set that prints only orbitals 19-26 of 40.
    window = molecule(22, WATER * 3, 40, 9, "eight-wide")
    case("final-eight-wide-window", job("C0", 22, final_set(window, "eight-wide", (19, 26))),
         ["--final"], console(22, len(window.functions)), expected(window, "Px"))
    edge = molecule(26, WATER * 3, 40, 9, "eight-wide")
    lines = job("C1", 26, final_set(edge, "eight-wide", (19, 26)))
    case("final-window-without-next", lines, ["--final"], console(26, None),
         "Eigenvectors are not found\n", stderr=refusal(
             f"the final set of record {record_of(lines, '                EIGENVECTORS')} "
             "prints orbitals 19-26, not orbital 27"))

    # An open shell: a line of fractional occupancy two records after a C1 count line.
    shell = molecule(4, WATER, 13, 10, "eight")
    occupancy = "                       NO. OF LEVELS WITH OCCUPANCY 0.167  =    6"
    lines = job("C1", 4, final_set(shell, "eight"), occupancy)
    case("final-open-shell", lines, ["--final"], console(4, None),
         "Eigenvectors are not found\n", stderr=refusal(
             f'record 4 "{occupancy.strip()}" follows the count line of record 2: an open-shell '
             "calculation, whose orbital N+1 is not the lowest unoccupied orbital"))

    # Two jobs: the first prints only an iteration set, the second its final set.
    first = molecule(4, WATER_SIX, 13, 11, "six")
    second = molecule(5, WATER, 13, 12, "eight-wide")
    one = job("C0", 4, iteration_set(first, "six"))
    lines = one + job("C2", 5, final_set(second, "eight-wide"))
    count = len(one) + 2
    final_heading = record_of(lines, "                EIGENVECTORS")
    case("final-second-job", lines, ["--final"], console(5, 13), expected(second, "Px"),
         stderr=warning(213, "count line",
                        "the job of the count line of record 2 prints no final set: the final "
                        f"set of record {final_heading}, in the job of this count line, is taken",
                        count))
    default = SixMolecule("", "", 4, first.functions, first.energies, first.coefficients)
    stdout, fort50 = expected_outputs(default)
    case("iteration-set-before-a-later-job", lines, [], stdout, fort50, stderr=warning(
        22, "eigenvector heading search",
        'the heading reads "EIGENVECTORS AND EIGENVALUES ON ITERATION  1": these are the '
        f"vectors of SCF iteration 1, not the final ones; this job prints no final set, and "
        f"record {final_heading} heads that of the job of record {count}, which hlext1 --final "
        "reads", record_of(lines, iteration_set(first, "six")[0])))

    # A row whose values stand one column right of their fields, so that each field holds the
    # end of one value and the start of the next: the run names the record and the columns
    # rather than read numbers made of two.
    shifted = molecule(4, WATER, 13, 13, "eight")
    lines = job("C1", 4, final_set(shifted, "eight"))
    row = record_of(lines, LAYOUTS["eight"]["row"](shifted.functions[2], [
        shifted.coefficients[o][2] for o in range(8)]))
    text = lines[row - 1]
    lines[row - 1] = text[:10] + " " + text[10:]
    field = lines[row - 1][18:26]
    case("final-value-out-of-its-columns", lines, ["--final"], "", "", status=1,
         stderr=f"hlext1: statement 257 (final set coefficient rows), unit 4 (hlext.dat), record "
                f'{row}, columns 19-26 "{field}": not in its columns\n')

    # The default run: an open shell after a count line, and blocks of eight to a block, whose
    # first header it cannot read.
    closed = molecule(4, WATER_SIX, 13, 14, "six")
    lines = job("C0", 4, final_set(closed, "six"), " NO. OF SINGLY OCCUPIED LEVELS = 1")
    default = SixMolecule("", "", 4, closed.functions, closed.energies, closed.coefficients)
    stdout, fort50 = expected_outputs(default)
    case("open-shell-warned", lines, [], stdout, fort50, stderr=warning(
        13, "occupied-count search", 'record 4 after the count line reads "NO. OF SINGLY '
        'OCCUPIED LEVELS = 1": an open-shell calculation, whose orbital 5 is not the lowest '
        "unoccupied orbital of a closed-shell one", 2))
    eight = molecule(4, WATER, 13, 15, "eight")
    lines = job("C0", 4, final_set(eight, "eight"))
    heading = record_of(lines, "                EIGENVECTORS")
    symmetry = lines[heading + 4]
    case("eight-columns-in-default-run", lines, [], "    4\n", "", status=1,
         stderr=f"hlext1: statement 27 (first block header), unit 4 (hlext.dat), record "
                f'{heading + 5}, columns 13-17 "{symmetry[12:17]}": bad integer; record '
                f'{heading + 3} is a "Root No." block header: the vectors are printed in '
                "another layout, which hlext1 --final reads\n")
