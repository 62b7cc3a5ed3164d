#include "tests/support/memory_input.hpp"

#include <algorithm>
#include <memory>
#include <utility>

#include "extract/unit_table.hpp"
#include "tests/support/memory_connector.hpp"

namespace hlext::testing {

MemorySource::MemorySource(std::string_view bytes, std::vector<std::size_t> sizes,
                           std::string failure, bool rereadable)
    : bytes_(bytes),
      sizes_(std::move(sizes)),
      failure_(std::move(failure)),
      rereadable_(rereadable) {}

std::size_t MemorySource::read(std::span<char> buffer) {
  const std::size_t size =
      std::min({sizes_[turn_++ % sizes_.size()], buffer.size(), bytes_.size() - next_});
  std::copy_n(bytes_.data() + next_, size, buffer.data());
  next_ += size;
  return size;
}

bool MemorySource::readAgainFrom(std::uint64_t offset) {
  if (!rereadable_ || offset > bytes_.size()) return false;
  next_ = static_cast<std::size_t>(offset);
  return true;
}

RecordReader memoryReader(std::string_view listing) {
  MemoryConnector connector(listing);
  return RecordReader(connector.openInput("hlext.dat").stream, ListingUnit, "hlext.dat");
}

RecordReader chunkedReader(std::string_view listing, std::vector<std::size_t> sizes,
                           std::string failure) {
  return RecordReader(std::make_unique<MemorySource>(listing, std::move(sizes), std::move(failure)),
                      ListingUnit, "hlext.dat");
}

}  // namespace hlext::testing
