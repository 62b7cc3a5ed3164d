// The whole run: find the occupied count N and the eigenvector block that holds orbital N,
// gather the coefficients of orbitals N and N+1, and write them to the result file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "extract/orbital_row_table.hpp"
#include "extract/p_shell_reorder.hpp"
#include "extract/result_file.hpp"
#include "extract/statements.hpp"
#include "record_io/unit_table.hpp"

namespace hlext {

inline constexpr int ScanLimit = 500;
inline constexpr const char* ListingFileName = "hlext.dat";
inline constexpr const char* ResultFileName = "fort.50";

class FrontierExtraction {
 public:
  explicit FrontierExtraction(UnitConnector& connector);

  // Runs from opening the units to the normal end. Returns after the normal end or a refused
  // search; every failure raises RecordError.
  void run();

 private:
  bool findOccupiedCount();
  bool findEigenvectors();
  void readFirstHeader();
  bool locateBlock();
  bool findNextHeader();
  void readBlockEnergies(Statement statement, const Layout& layout);
  std::int32_t gatherSameBlock();
  std::int32_t gatherSplit();
  bool search(Statement statement, const Layout& layout, std::span<const ReadItem> items,
              const Text4& wanted);
  [[noreturn]] void endSearch(Statement statement);
  void refuse(Statement statement);
  // An occupied-count record between the count record and the heading.
  struct LaterJob {
    FieldPlace place;                   // its record, or its count field when that is bad
    std::optional<std::int32_t> count;  // empty when it does not convert
  };
  LaterJob readLaterJob();
  void warnOfLaterJob(const LaterJob& laterJob, long long countRecord);
  void checkNextColumn();
  void echo(Statement statement, std::int32_t value);
  void warn(Statement statement, FieldPlace place, std::string message);

  // What the last search looked for, and the first record it read.
  struct SearchTrail {
    const Layout* layout = nullptr;
    Text4 wanted{};
    long long firstRecord = 0;
  };

  StatementLayouts layouts_;
  UnitTable units_;

  SearchTrail lastSearch_;
  Statement headerStatement_;  // the statement that read the current block header
  Text4 label_{};
  std::int32_t occupiedCount_ = 0;
  std::array<std::int32_t, 6> blockOrbitals_{};
  std::array<float, 6> blockEnergies_{};
  int blockColumn_ = 0;
  FrontierOrbitals orbitals_;
  OrbitalRowTable rows_;
  OutputVectors vectors_;
};

}  // namespace hlext
