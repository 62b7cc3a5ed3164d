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
inline constexpr std::string_view UnknownBlockLayout = "block header of no known layout";
inline constexpr std::string_view CountLineElsewhere = "count line in columns of no known form";
inline constexpr std::string_view CountElsewhere = "count outside its columns";

std::string tooManyRowsReason(int rowCapacity);

// Another occupied-count record (read under `countLayout`) between the count record and the
// heading; `laterCount` is empty when its count did not convert.
std::string laterJobWarning(const Layout& countLayout, std::optional<std::int32_t> laterCount,
                            std::int32_t count, long long countRecord, long long headingRecord);

// The header lists `listed` (`blank`: nothing) in the block column after orbital n's.
std::string nextColumnWarning(std::int32_t n, int blockColumn, std::int32_t listed, bool blank);

std::string rowCountWarning(std::int32_t n, std::int32_t rowCount, std::int32_t nextRowCount);

// A line of an open-shell calculation at `record` (`line`) follows the count line of N.
std::string openShellWarning(long long record, std::string_view line, std::int32_t n);

// Where the final set hlext1 --final takes stands: its heading (0: none), and the count line
// of its job when that is a later one (0: the same job).
struct FinalSetSighting {
  long long headingRecord = 0;
  long long laterJobRecord = 0;
};

// The heading of the eigenvectors taken reads "... ON ITERATION n"; `looked` says whether the
// listing was read on to find the final set.
std::string iterationWarning(std::string_view heading, std::int32_t iteration,
                             const FinalSetSighting& finalSet, bool looked);

// A "Root No." block header at `record`: the vectors are printed in a layout of eight orbitals
// to a block. As a note after a failure, and as a warning where the read did not fail.
std::string newLayoutNote(long long record);
std::string newLayoutWarning(long long record);

// Why hlext1 --final refuses: no count line in records 1-`lastRecord`; no final set after the
// count line of `countRecord`; an open-shell job; orbital `orbital` missing from the set of
// `headingRecord`, which prints orbitals first-last. And the warning when the job used is not
// the first.
std::string noCountLineWarning(std::string_view phrase, long long lastRecord);
std::string noFinalSetWarning(long long countRecord);
std::string openShellRefusal(long long record, std::string_view line, long long countRecord);
std::string orbitalNotPrintedWarning(std::int32_t orbital, long long headingRecord,
                                     std::int32_t first, std::int32_t last);
std::string laterJobUsedWarning(long long firstCountRecord, long long headingRecord);

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
