// What the extraction says about a listing beyond the record layer's own words: the kinds of
// value it cannot use, and the sentences of its warnings. Columns are taken from the layouts
// the statements read under, never written out by hand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "record_io/items.hpp"
#include "record_io/label_sighting.hpp"
#include "record_io/layout.hpp"

namespace hlext {

// Kinds of failure for values that convert but name nothing the extraction can use.
inline constexpr std::string_view BadOccupiedCount = "bad occupied count";
inline constexpr std::string_view TooManyRows = "too many rows";

std::string tooManyRowsReason(int rowCapacity);

// Another occupied-count record (read under `countLayout`) between the count record and the
// heading; `laterCount` is empty when its count did not convert.
std::string laterJobWarning(const Layout& countLayout, std::optional<std::int32_t> laterCount,
                            std::int32_t count, long long countRecord, long long headingRecord);

// The header lists `listed` (`blank`: nothing) in the block column after orbital n's.
std::string nextColumnWarning(std::int32_t n, int blockColumn, std::int32_t listed, bool blank);

std::string rowCountWarning(std::int32_t n, std::int32_t rowCount, std::int32_t nextRowCount);

// A search under `layout` for `label` read records first-last without a match;
// `seekingOrbital` (0: none) is the orbital whose block header it looked for.
std::string refusalWarning(const Layout& layout, const Text4& label, long long first,
                           long long last, std::int32_t seekingOrbital);

// What a failed search adds about where its label does stand, or nothing when no record holds
// it: after the end of the listing (the label named, and its columns beside the search's own
// from `layout`), and after a refusal (which has named the label). `withCount` adds the number
// after the "=" of the record, as an occupied-count line prints it.
std::string sightingAtEnd(const Layout& layout, const Text4& label, const LabelSighting& sighting,
                          bool withCount);
std::string sightingAfterRefusal(const LabelSighting& sighting, bool withCount);

}  // namespace hlext
