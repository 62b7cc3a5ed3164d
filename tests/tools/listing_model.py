"""Writes listings of closed-shell calculations and, independently of hlext1, the console output
and result file that a correct extraction of orbitals N and N+1 gives for them.

The expected values are worked out here with exact rational arithmetic (decimal text rounded once
to the nearest single, then printed with Python's own correctly rounded formatting), so a
golden case made with this module does not take its answer from the tool it checks.
"""

from __future__ import annotations

import random
import struct
from dataclasses import dataclass, field
from fractions import Fraction
from pathlib import Path

PREAMBLE = """\
 ******************************************************
 *      CLOSED-SHELL SCF MOLECULAR ORBITAL PROGRAM    *
 ******************************************************

 JOB TITLE: {title}
 DATE OF RUN ........................................... 2026-11-30 14:02
 BASIS SET  ............................................ {basis}
 NUMBER OF ATOMS ....................................... {atoms:>3}
 NUMBER OF BASIS FUNCTIONS ............................. {functions:>3}
 CHARGE OF MOLECULE .................................... {charge:>3}
 SPIN MULTIPLICITY ..................................... {multiplicity:>3}
 TWO-ELECTRON INTEGRALS ........................ written to scratch file
 INTEGRAL THRESHOLD ..................................... 1.0E-09
"""


def single(text: str) -> float:
    """The single-precision value nearest to the decimal `text` (ties to even), as a float."""
    exact = Fraction(text)
    guess = struct.unpack("<f", struct.pack("<f", float(exact)))[0]
    bits = struct.unpack("<I", struct.pack("<f", guess))[0]
    candidates = []
    for step in (-1, 0, 1):
        b = (bits + step) & 0xFFFFFFFF
        value = struct.unpack("<f", struct.pack("<I", b))[0]
        if value == value and abs(value) != float("inf"):
            candidates.append((abs(Fraction(value) - exact), b & 1, value))
    candidates.sort(key=lambda c: (c[0], c[1]))
    return candidates[0][2]


def fixed(value: float, width: int, decimals: int) -> str:
    text = f"{value:.{decimals}f}"
    return "*" * width if len(text) > width else text.rjust(width)


def integer(value: int, width: int) -> str:
    text = str(value)
    return "*" * width if len(text) > width else text.rjust(width)


@dataclass
class Molecule:
    title: str
    basis_name: str
    occupied: int
    functions: list[tuple[str, str, int]]  # shell label, element symbol, atom number
    energies: list[str]  # one per orbital, decimal text
    coefficients: list[list[str]]  # [orbital][function], decimal text
    page_breaks: set[int] = field(default_factory=set)  # a page record before this row index

    @property
    def orbital_count(self) -> int:
        return len(self.energies)


def make_molecule(title, basis_name, occupied, atoms, seed, page_breaks=()):
    """atoms: list of (element, [shell labels]); energies rise with the orbital number."""
    rng = random.Random(seed)
    functions = []
    for number, (element, shells) in enumerate(atoms, start=1):
        functions += [(label, element, number) for label in shells]
    count = len(functions)
    cores = sum(1 for element, _ in atoms if element != "H")
    energies = []
    for orbital in range(count):
        if orbital < cores:
            level = -20.7 + 0.08 * orbital - 0.01 * rng.random()
        elif orbital < occupied:
            level = -1.6 + 1.15 * (orbital - cores) / max(1, occupied - cores) + 0.05 * rng.random()
        else:
            level = 0.12 + 1.3 * (orbital - occupied) / max(1, count - occupied) + 0.05 * rng.random()
        energies.append(f"{level:.5f}")
    coefficients = [[f"{rng.uniform(-1.0, 1.0) * rng.choice((1, 1, 0.1)):.5f}"
                     for _ in range(count)] for _ in range(count)]
    return Molecule(title, basis_name, occupied, functions, energies, coefficients,
                    set(page_breaks))


def header_line(orbitals):
    return ("    ROOT NO." + "".join(f"{o:5d}       " for o in orbitals)).rstrip()


def energy_line(values):
    return "        " + "".join(f"{float(v):12.5f}" for v in values)


def row_line(function, values):
    label, element, atom = function
    return f" {label:<2}{element:>3}{atom:4d}" + "".join(f"{float(v):12.5f}" for v in values)


SCF_ITERATIONS = [
    "",
    " ITER      TOTAL ENERGY        E CHANGE       DENSITY CHANGE",
    "    1     -75.585952301    -75.585952301       0.612343215",
    "    2     -75.973481602     -0.387529301       0.148113022",
    "    3     -75.983970518     -0.010488916       0.027309541",
    "    4     -75.984514210     -0.000543692       0.004876502",
    "    5     -75.984551027     -0.000036817       0.000621130",
    "          DENSITY CONVERGED",
    "",
]


COUNT_PHRASE = "RHF CALCULATION, NO. OF DOUBLY OCCUPIED LEVELS ="


def count_line(occupied: int) -> str:
    """The count line as the tool reads it by default: "RHF " in columns 11-14, N in 59-61."""
    return (" " * 10 + COUNT_PHRASE).ljust(58) + f"{occupied:3d}"


def listing_lines(molecule: Molecule, preamble: list[str] | None = None,
                  iterations: list[str] | None = None) -> list[str]:
    """The listing's lines; `preamble` replaces the job description before the "RHF " record
    and `iterations` the records between it and the eigenvector heading."""
    if preamble is None:
        atoms = len({f[2] for f in molecule.functions})
        preamble = PREAMBLE.format(title=molecule.title, basis=molecule.basis_name, atoms=atoms,
                                   functions=len(molecule.functions), charge=0,
                                   multiplicity=1).splitlines() + [""]
    lines = list(preamble)
    lines += [count_line(molecule.occupied)]
    lines += SCF_ITERATIONS if iterations is None else iterations
    lines += ["                EIGENVECTORS",
              "                ------------",
              ""]
    for first in range(0, molecule.orbital_count, 6):
        orbitals = list(range(first, min(first + 6, molecule.orbital_count)))
        lines += ["", "", header_line([o + 1 for o in orbitals]), "",
                  energy_line([molecule.energies[o] for o in orbitals]), "", ""]
        previous_atom = molecule.functions[0][2]
        for index, function in enumerate(molecule.functions):
            if function[2] != previous_atom:
                lines.append("")
                previous_atom = function[2]
            if index in molecule.page_breaks:
                lines.append("1")
            lines.append(row_line(function, [molecule.coefficients[o][index] for o in orbitals]))
        lines += ["", ""]
    lines += [" ...... END OF RHF CALCULATION ......",
              " CPU TIME:      0.41 SECONDS"]
    return lines


def expected_outputs(molecule: Molecule) -> tuple[str, str]:
    """The console text and the result file of a correct run. An orbital the listing does not
    print (N+1 when every orbital is occupied) is read from blank columns: energy and
    coefficients 0."""
    n = molecule.occupied
    rows = len(molecule.functions)
    split = n % 6 == 0
    console = integer(n, 5) + "\n" + ("" if split else integer(rows, 5) + "\n")
    vectors = []
    for orbital in (n - 1, n):
        printed = orbital < molecule.orbital_count
        values = ([single(v) for v in molecule.coefficients[orbital]] if printed
                  else [0.0] * rows)
        ordered, i = list(values), 0
        while i < rows:
            if molecule.functions[i][0] == "PX":
                partner = [values[j] if j < rows else 0.0 for j in (i + 1, i + 2)]
                for offset, value in enumerate((partner[0], partner[1], values[i])):
                    if i + offset < rows:
                        ordered[i + offset] = value
                i += 3
            else:
                i += 1
        vectors.append(ordered)
    result = integer(rows, 5) + "\n"
    for orbital, vector in zip((n, n + 1), vectors):
        energy = single(molecule.energies[orbital - 1]) if orbital <= molecule.orbital_count else 0.0
        result += f"\n\n    E ({integer(orbital, 3)} ) = {fixed(energy, 10, 5)}\n"
        lines = ["".join(fixed(v, 10, 5) for v in vector[k:k + 12])
                 for k in range(0, rows, 12)] or [""]
        result += "\n".join(lines) + "\n"
    return console, result


def warning(statement: int, name: str, message: str, record: int = 0,
            field: tuple[int, int, str] | None = None) -> str:
    """A warning line on standard error: the statement, unit 4 (the listing), the record (line
    number) and the field's columns and text where there are any, then what the listing shows."""
    line = f"hlext1: warning: statement {statement} ({name}), unit 4 (hlext.dat)"
    if record:
        line += f", record {record}"
    if field:
        line += f', columns {field[0]}-{field[1]} "{field[2]}"'
    return f"{line}: {message}\n"


SEARCHES = {  # refusing statement: its name, the label and the label's first column
    16: ("occupied count not found", "RHF ", 11),
    25: ("eigenvector heading not found", "EIGE", 17),
    34: ("block header not found", "ROOT", 5),
}


def refusal_warning(statement: int, first_record: int, occupied: int = 0,
                    lines: list[str] | None = None) -> str:
    """The warning of a search refused after reading 500 records from `first_record` on; with
    the listing's `lines`, it also says where the label does stand."""
    name, label, column = SEARCHES[statement]
    last = first_record + 499
    message = f'no "{label}" in columns {column}-{column + 3} of records {first_record}-{last}'
    if statement == 34:
        message += f", seeking the block header of orbital {occupied}"
    if lines is not None:
        found = label_sighting(lines, first_record, last, label, column, onward=True)
        message += sighting_after_refusal(found, count=statement == 16)
    return warning(statement, name, message)


def failure(statement: int, name: str, record: int, kind: str, note: str = "") -> str:
    """A failure line on standard error for unit 4 at `record`, e.g. an end of file."""
    return f"hlext1: statement {statement} ({name}), unit 4 (hlext.dat), record {record}: {kind}{note}\n"


RECORD_REACH = 128  # the columns of a record the tool keeps


@dataclass
class Sighting:
    record: int  # from 1
    column: int  # the label's first column
    text: str  # the record from the label on


def count_look_alike(text: str, at: int) -> bool:
    """A record holding "RHF " at `at` names a count line only with an integer after its "="."""
    return count_after_equals(text[at:]) != ""


def heading_look_alike(text: str, at: int) -> bool:
    """A heading is named only where its text begins with EIGENVECTORS."""
    return text[:at].strip() == "" and text[at:].startswith("EIGENVECTORS")


LOOK_ALIKES = {"RHF ": count_look_alike, "EIGE": heading_look_alike}


def label_sighting(lines: list[str], first: int, last: int, label: str, column: int,
                   onward: bool = False) -> Sighting | None:
    """Where `label` stands in records first-last (from 1) other than in its own columns, which
    begin at `column`: the first record whose text begins with it, else the first that holds it
    at all. With `onward`, records after `last` count too (a refused search reads on), and
    there the label in its own columns counts as a record beginning with it. Only the first
    RECORD_REACH characters of a record are looked at, and only look-alikes of the record the
    search wants (LOOK_ALIKES) are named."""
    accepts = LOOK_ALIKES.get(label, lambda text, at: True)
    mention = None
    for number in range(first, len(lines) + 1):
        past = number > last
        if past and not onward:
            break
        text = lines[number - 1][:RECORD_REACH]
        if past and text.ljust(column + 3)[column - 1:column + 3] == label:
            if accepts(text, column - 1):
                return Sighting(number, column, text[column - 1:])
            continue
        at = text.find(label)
        if at == column - 1:
            at = text.find(label, at + 1)
        if at < 0 or not accepts(text, at):
            continue
        found = Sighting(number, at + 1, text[at:])
        if text[:at] == " " * at:
            return found
        mention = mention or found
    return mention


def count_after_equals(text: str) -> str:
    """', with 4 after "="': the integer after the first "=" of the text."""
    if "=" not in text:
        return ""
    rest = text.split("=", 1)[1].lstrip(" ")
    digits = rest[:1] if rest[:1] in ("-", "+") else ""
    for character in rest[len(digits):]:
        if not character.isdigit():
            break
        digits += character
    return f', with {digits} after "="' if digits.lstrip("+-") else ""


def count_of(sighting: Sighting) -> str:
    """', with 4 after "="', and whether hlext1 --final reads the count line."""
    note = count_after_equals(sighting.text)
    if (sighting.column in (7, 11) and sighting.text.startswith(COUNT_PHRASE) and note
            and "with -" not in note):
        note += ", a count line that hlext1 --final reads"
    return note


def sighting_at_end(label: str, column: int, sighting: Sighting | None, count: bool) -> str:
    """What an end of file during a search says of where its label stands."""
    if sighting is None:
        return ""
    note = (f'; record {sighting.record} holds "{label}" in columns {sighting.column}-'
            f"{sighting.column + 3}, not {column}-{column + 3}")
    return note + (count_of(sighting) if count else "")


def sighting_after_refusal(sighting: Sighting | None, count: bool) -> str:
    """What a refused search's warning says of where its label stands."""
    if sighting is None:
        return ""
    note = f"; record {sighting.record} holds it in columns {sighting.column}-{sighting.column + 3}"
    return note + (count_of(sighting) if count else "")


def write_case(folder: Path, listing: str, stdout: str, fort50: str, status: int = 0,
               stderr: str = "", before: str | None = None) -> None:
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "hlext.dat").write_text(listing)
    (folder / "stdout").write_text(stdout)
    (folder / "fort.50").write_text(fort50)
    (folder / "status").write_text(f"{status}\n")
    if stderr:
        (folder / "stderr").write_text(stderr)
    elif (folder / "stderr").exists():
        (folder / "stderr").unlink()
    if before is not None:
        (folder / "fort.50.before").write_text(before)
