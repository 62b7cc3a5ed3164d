// A listing in memory as a unit's input: whole, or handed over a few bytes at a time so that
// records and line ends straddle refills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/byte_stream.hpp"
#include "record_io/record_reader.hpp"

namespace hlext::testing {

// Hands its bytes out in reads of the sizes in `sizes`, taken in turn; once they are spent it
// reports `failure`, if any. A rereadable one can start over at any byte, as a file on disk can.
class MemorySource final : public ByteSource {
 public:
  MemorySource(std::string_view bytes, std::vector<std::size_t> sizes, std::string failure = {},
               bool rereadable = false);
  std::size_t read(std::span<char> buffer) override;
  FileResult failure() const override {
    if (next_ < bytes_.size() || failure_.empty()) return {};
    return FileFailure{FileFault::Read, failure_};
  }
  bool canReadAgain() const override { return rereadable_; }
  bool readAgainFrom(std::uint64_t offset) override;

 private:
  std::string_view bytes_;
  std::vector<std::size_t> sizes_;
  std::size_t turn_ = 0;
  std::size_t next_ = 0;
  std::string failure_;
  bool rereadable_;
};

// Readers of unit 4 ("hlext.dat") over `listing`, which must outlive them.
RecordReader memoryReader(std::string_view listing);
RecordReader chunkedReader(std::string_view listing, std::vector<std::size_t> sizes,
                           std::string failure = {});

}  // namespace hlext::testing
