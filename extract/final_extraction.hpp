// hlext1 --final: orbitals N and N+1 of a job's final set of eigenvectors, in any block layout.
// The job is the listing's first whose count line is followed by a final set (a heading that
// reads "EIGENVECTORS" alone, before the next job's count line); its last such set is taken.
// The listing is read once, front to back, so a pipe serves as well as a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "extract/final_set.hpp"
#include "extract/listing_run.hpp"
#include "extract/p_shell_reorder.hpp"

namespace hlext {

class FinalExtraction {
 public:
  explicit FinalExtraction(UnitConnector& connector);

  // Runs from opening the units to the normal end or a refusal; failures raise RecordError.
  void run();

 private:
  struct Job {
    long long countRecord = 0;
    std::int32_t occupiedCount = 0;
    long long openShellRecord = 0;  // the line that makes it an open-shell job, if any
    std::string openShellLine;
  };

  void scanListing();
  Job readJob(std::size_t phraseAt);
  void readSet();
  void finish();
  void writeOrbitals(const Job& job, const FinalSet& set);

  ListingRun run_;
  std::optional<Job> firstJob_;
  std::optional<Job> job_;        // the job the listing is in
  std::optional<Job> chosenJob_;  // the job of the set taken
  FinalSet reading_;
  FinalSet chosen_;
  OutputVectors vectors_;
};

}  // namespace hlext
