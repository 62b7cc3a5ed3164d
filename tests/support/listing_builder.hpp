// Builds listings for tests, record by record: the fixed-column records a run reads, and whole
// eigenvector sections whose values tell which orbital and row they belong to. Also formats the
// result file such a run is expected to write. Header-only.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/lines.hpp"

namespace hlext::testing {

// `record` with `text` written over it from `column` on; the record grows with blanks as needed.
inline std::string overwrite(std::string record, int column, std::string_view text) {
  const auto first = static_cast<std::size_t>(column - 1);
  if (record.size() < first + text.size()) record.resize(first + text.size(), ' ');
  record.replace(first, text.size(), text);
  return record;
}

// `value` right-justified in `width` columns with `decimals` places, as printf rounds it.
inline std::string fixed(double value, int width, int decimals) {
  char field[64];
  std::snprintf(field, sizeof field, "%*.*f", width, decimals, value);
  return field;
}

inline std::string integer(long value, int width) {
  char field[32];
  std::snprintf(field, sizeof field, "%*ld", width, value);
  return field;
}

// `label` in columns 11-14 and `count` as it stands in columns 59-61.
inline std::string occupiedCountRecord(std::string_view count, std::string_view label = "RHF ") {
  std::string record = overwrite("", 11, label);
  record = overwrite(record, 15, "CALCULATION, NO. OF DOUBLY OCCUPIED LEVELS =");
  return overwrite(record, 59, count);
}

inline std::string occupiedCountRecord(int count) { return occupiedCountRecord(integer(count, 3)); }

// `label` in columns 17-20.
inline std::string headingRecord(std::string_view label = "EIGE") {
  return overwrite(overwrite("", 17, label), 21, "NVECTORS");
}

// `label` in columns 5-8 and the orbital numbers in columns 13-17, 25-29, ..., 73-77.
inline std::string headerRecord(const std::vector<int>& orbitals, std::string_view label = "ROOT") {
  std::string record = overwrite(overwrite("", 5, label), 9, " NO.");
  for (int orbital : orbitals) record += integer(orbital, 5) + "       ";
  return record.substr(0, record.find_last_not_of(' ') + 1);
}

// Energies in columns 9-20, 21-32, ..., 69-80.
inline std::string energyRecord(const std::vector<double>& energies) {
  std::string record(8, ' ');
  for (double energy : energies) record += fixed(energy, 12, 5);
  return record;
}

// A coefficient row: mark in column 1, shell label in 2-3, element in 4-6, atom number in 7-10
// and coefficients in 11-22, 23-34, ..., 71-82.
inline std::string rowRecord(std::string_view label, std::string_view element, int atom,
                             const std::vector<double>& coefficients, char mark = ' ') {
  std::string record(1, mark);
  record += std::string(label) + std::string(label.size() < 2 ? 2 - label.size() : 0, ' ');
  record += std::string(element.size() < 3 ? 3 - element.size() : 0, ' ') + std::string(element);
  record += integer(atom, 4);
  for (double coefficient : coefficients) record += fixed(coefficient, 12, 5);
  return record;
}

// A record of printout with no label and no numbers in any column a search looks at.
inline std::string fillerRecord(int number) {
  return " LINE " + integer(number, 4) + " OF A LONG PRINTOUT WITH NO MARKER IN IT";
}

class Listing {
 public:
  Listing& add(std::string record) {
    records_.push_back(std::move(record));
    return *this;
  }
  Listing& add(int count, const std::string& record) {
    for (int i = 0; i < count; ++i) records_.push_back(record);
    return *this;
  }
  Listing& filler(int count) {
    for (int i = 0; i < count; ++i) add(fillerRecord(size() + 1));
    return *this;
  }
  // Replaces record `number` (from 1).
  Listing& set(int number, std::string record) {
    records_.at(static_cast<std::size_t>(number - 1)) = std::move(record);
    return *this;
  }
  // Records so far; the next record added is record size() + 1.
  int size() const { return static_cast<int>(records_.size()); }
  // Every record followed by a line feed.
  std::string text() const { return joinLines(records_); }

 private:
  std::vector<std::string> records_;
};

struct BasisFunction {
  std::string label;
  std::string element;
  int atom = 1;
};

// Values that name their orbital and row: the coefficient of orbital 13 in row 7 is -0.13070,
// the energy of orbital 13 is -1.37500.
inline double coefficientOf(int orbital, int row) {
  const double magnitude = orbital / 100.0 + row / 10000.0;
  return (orbital + row) % 2 == 0 ? magnitude : -magnitude;
}
inline double energyOf(int orbital) { return -3.0 + 0.125 * orbital; }

// One block of orbitals first..last (at most six) as a listing prints it: two blank records,
// the header, a blank, the energies, two blanks, the rows with a blank between atoms, and two
// blanks after the last row. Gives the record number of the header.
inline int addBlock(Listing& listing, int first, int last,
                    const std::vector<BasisFunction>& functions,
                    std::string_view headerLabel = "ROOT", int leadingBlanks = 2) {
  std::vector<int> orbitals;
  std::vector<double> energies;
  for (int orbital = first; orbital <= last; ++orbital) {
    orbitals.push_back(orbital);
    energies.push_back(energyOf(orbital));
  }
  listing.add(leadingBlanks, "").add(headerRecord(orbitals, headerLabel));
  const int header = listing.size();
  listing.add("").add(energyRecord(energies)).add(2, "");
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const BasisFunction& function = functions[i];
    if (i > 0 && function.atom != functions[i - 1].atom) listing.add("");
    std::vector<double> coefficients;
    for (int orbital : orbitals)
      coefficients.push_back(coefficientOf(orbital, static_cast<int>(i) + 1));
    listing.add(rowRecord(function.label, function.element, function.atom, coefficients));
  }
  listing.add(2, "");
  return header;
}

// The heading record, two more records, and the blocks of orbitals 1..orbitalCount.
inline void addEigenvectorSection(Listing& listing, int orbitalCount,
                                  const std::vector<BasisFunction>& functions) {
  listing.add(headingRecord()).add("                ------------").add("");
  for (int first = 1; first <= orbitalCount; first += 6)
    addBlock(listing, first, std::min(first + 5, orbitalCount), functions);
}

// A whole listing: some printout, the occupied-count record, more printout, the eigenvector
// section and a closing line.
inline Listing standardListing(int occupied, int orbitalCount,
                               const std::vector<BasisFunction>& functions) {
  Listing listing;
  listing.filler(12).add(occupiedCountRecord(occupied)).filler(8);
  addEigenvectorSection(listing, orbitalCount, functions);
  listing.add(" ...... END OF CALCULATION ......");
  return listing;
}

// The result file for orbitals n and n + 1: the row count, then for each orbital two empty
// lines, its energy line and its coefficients twelve to a line.
inline std::string resultFile(int n, double energyN, const std::vector<double>& orbitalN,
                              double energyNext, const std::vector<double>& orbitalNext) {
  std::string text = integer(static_cast<long>(orbitalN.size()), 5) + "\n";
  const auto orbital = [&text](int number, double energy, const std::vector<double>& values) {
    text += "\n\n    E (" + integer(number, 3) + " ) = " + fixed(energy, 10, 5) + "\n";
    for (std::size_t i = 0; i < values.size(); ++i)
      text += fixed(values[i], 10, 5) + (i % 12 == 11 || i + 1 == values.size() ? "\n" : "");
    if (values.empty()) text += "\n";
  };
  orbital(n, energyN, orbitalN);
  orbital(n + 1, energyNext, orbitalNext);
  return text;
}

}  // namespace hlext::testing
