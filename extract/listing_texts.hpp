// The texts a listing prints that the extraction recognises wherever they stand in a record:
// the count line, the headings of eigenvector sets, the block headers of the newer layouts and
// the lines of an open-shell calculation. Only what a read keeps of a record is looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace hlext {

// The count line of a closed-shell job, followed by the count N.
inline constexpr std::string_view CountLinePhrase =
    "RHF CALCULATION, NO. OF DOUBLY OCCUPIED LEVELS =";
// The heading of a set of eigenvectors; the final set's heading reads this alone.
inline constexpr std::string_view EigenvectorsHeading = "EIGENVECTORS";
// The block header of the layouts that print eight orbitals to a block.
inline constexpr std::string_view NewLayoutHeader = "Root No.";
// Records after the count line that look for a line of an open-shell calculation.
inline constexpr int OpenShellReach = 5;

// The text without its leading and trailing blanks.
std::string_view trimmed(std::string_view text);

// The integer after the first "=" at or after `from`, blanks before it allowed: where its
// characters stand (from 0) and how many there are; empty when no integer follows.
struct IntegerText {
  std::size_t at = 0;
  std::size_t length = 0;
};
std::optional<IntegerText> integerAfterEquals(std::string_view text, std::size_t from = 0);

// Where the count line's phrase starts (from 0) when an integer follows it; else empty.
std::optional<std::size_t> countLineAt(std::string_view text);

// Where (from 0) the count line's phrase starts in the forms hlext1 --final reads: "RHF " in
// columns 11-14, or four columns further left.
inline constexpr std::size_t ListedCountAt = 10;
inline constexpr std::size_t LeftCountAt = 6;
// The text from "RHF " on is a count line in a form hlext1 --final reads, "RHF " standing at
// `column` (from 1), with a count that is not negative.
bool isReadableCountLine(std::string_view fromLabel, int column);

// A line of an open-shell calculation: singly occupied levels or levels of fractional
// occupancy.
bool isOpenShellLine(std::string_view text);

// The iteration n of a heading that reads "... ON ITERATION n"; empty for any other heading.
std::optional<std::int32_t> iterationOf(std::string_view heading);

// The final set's heading: "EIGENVECTORS" and nothing else.
bool isFinalHeading(std::string_view text);

// Look-alikes a failed search names (see LookAlike): a record holding "RHF " with an integer
// after its "="; a heading that begins with "EIGENVECTORS"; a "Root No." block header.
bool isCountLookAlike(std::string_view text, std::size_t at);
bool isHeadingLookAlike(std::string_view text, std::size_t at);
bool isNewLayoutHeaderAt(std::string_view text, std::size_t at);

}  // namespace hlext
