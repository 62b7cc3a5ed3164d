// Variables for the data items of a layout, typed after them, for read statements in tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "record_io/items.hpp"
#include "record_io/layout.hpp"
#include "record_io/record_reader.hpp"

namespace hlext::testing {

class Items {
 public:
  // Items for the first `count` data items of `layout` (at most RecordReader::MaxItems).
  Items(const Layout& layout, std::size_t count);
  Items(const Items&) = delete;
  Items& operator=(const Items&) = delete;

  std::span<const ReadItem> list() const { return list_; }
  const Text4& text(std::size_t index) const { return texts_[index]; }

  // The values joined by '|': texts as they stand, numbers in a form that tells every value
  // apart (reals to nine significant digits, so that each single reads back as itself).
  std::string rendered() const;

 private:
  std::array<Text4, RecordReader::MaxItems> texts_{};
  std::array<std::int32_t, RecordReader::MaxItems> integers_{};
  std::array<float, RecordReader::MaxItems> reals_{};
  std::vector<ReadItem> list_;
};

// A read statement whose bad field raises, as the extraction's reads have it.
inline void readOrReject(RecordReader& reader, Statement statement, const Layout& layout,
                         std::span<const ReadItem> items) {
  if (auto bad = reader.read(statement, layout, items)) reader.reject(*bad);
}

}  // namespace hlext::testing
