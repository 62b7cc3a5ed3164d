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

// Hands its bytes out in reads of the sizes in `sizes`, taken in turn. Once the bytes are
// spent it reports `failure`, if any.
class ChunkedSource final : public ByteSource {
 public:
  ChunkedSource(std::string_view bytes, std::vector<std::size_t> sizes, std::string failure = {});
  std::size_t read(std::span<char> buffer) override;
  FileResult failure() const override {
    if (!bytes_.empty() || failure_.empty()) return {};
    return FileFailure{FileFault::Read, failure_};
  }

 private:
  std::string_view bytes_;
  std::vector<std::size_t> sizes_;
  std::size_t turn_ = 0;
  std::string failure_;
};

// Hands its bytes out `chunk` at a time and can start over at any of them, as a file on disk
// can be read again.
class RereadableSource final : public ByteSource {
 public:
  explicit RereadableSource(std::string_view bytes, std::size_t chunk = SIZE_MAX)
      : bytes_(bytes), chunk_(chunk) {}
  std::size_t read(std::span<char> buffer) override;
  bool canReadAgain() const override { return true; }
  bool readAgainFrom(std::uint64_t offset) override;

 private:
  std::string_view bytes_;
  std::size_t chunk_;
  std::size_t next_ = 0;
};

// Readers of unit 4 ("hlext.dat") over `listing`, which must outlive them.
RecordReader memoryReader(std::string_view listing);
RecordReader chunkedReader(std::string_view listing, std::vector<std::size_t> sizes,
                           std::string failure = {});

}  // namespace hlext::testing
