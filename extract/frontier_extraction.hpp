// The whole run: find the occupied count N and the eigenvector block that holds orbital N,
// gather the coefficients of orbitals N and N+1, and write them to the result file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "extract/listing_run.hpp"
#include "extract/orbital_row_table.hpp"
#include "extract/p_shell_reorder.hpp"
#include "extract/result_file.hpp"
#include "extract/statements.hpp"

namespace hlext {

inline constexpr int ScanLimit = 500;

// The searches of a run in their order: count record, eigenvector heading, block header.
enum class FrontierSearch { OccupiedCount, Heading, BlockHeader };

class FrontierExtraction {
 public:
  explicit FrontierExtraction(UnitConnector& connector);

  // Runs from opening the units to the normal end. Returns after the normal end or a refused
  // search; every failure raises RecordError.
  void run();

 private:
  // What a search looks out for besides its own label, to name where a failed search's label
  // does stand: `label` outside the search's columns, in records `lookAlike` accepts.
  struct LookOut {
    Text4 label{};
    LookAlike lookAlike = nullptr;
  };
  bool findOccupiedCount();
  void checkOpenShell();
  bool findEigenvectors();
  void noteIteration();
  void readFirstHeader();
  bool locateBlock();
  bool findNextHeader();
  void readBlockEnergies(Statement statement, const Layout& layout);
  std::int32_t gatherSameBlock();
  std::int32_t gatherSplit();
  bool search(FrontierSearch kind, const Layout& layout, std::span<const ReadItem> items,
              const Text4& wanted, const LookOut& lookOut);
  [[noreturn]] void endSearch(FrontierSearch kind);
  std::string sightingNote(FrontierSearch kind, bool afterRefusal);
  void refuse(FrontierSearch kind);
  void warnOfIteration();
  // An occupied-count record between the count record and the heading.
  struct LaterJob {
    FieldPlace place;                   // its record, or its count field when that is bad
    std::optional<std::int32_t> count;  // empty when it does not convert
  };
  LaterJob readLaterJob();
  void warnOfLaterJob(const LaterJob& laterJob, long long countRecord);
  void checkNextColumn();
  RecordReader& listing() { return run_.listing(); }

  // What the last search looked for, and the first record it read.
  struct SearchTrail {
    const Layout* layout = nullptr;
    Text4 wanted{};
    long long firstRecord = 0;
  };
  // The heading the eigenvectors were taken under, when it names an SCF iteration.
  struct IterationSet {
    long long headingRecord = 0;
    std::int32_t iteration = 0;
    std::string heading;
  };

  ListingRun run_;
  const StatementLayouts& layouts_ = run_.layouts();

  SearchTrail lastSearch_;
  std::optional<IterationSet> iterationSet_;
  long long newLayoutHeader_ = 0;  // a "Root No." header the first header read passed over
  bool headerSearched_ = false;    // the current block header: read by the search, not first
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
