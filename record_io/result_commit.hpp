// How a run's result reaches the result file, as one transaction. The result is gathered in memory
// and handed over whole; then:
//   1. Replace or write in place, decided by the file's identity: a file that a rename keeps as
//      its users know it (a single name, an owner this run can give a new file, no access
//      control list) is replaced by a new file; every other file is written in place.
//   2. Room and locks are secured: the new file is made private, locked against later runs'
//      clearing, given the old one's owner, checked, filled and given its mode; or the file
//      itself is locked against every other writer and reader that locks, for a bounded time,
//      and the room for the result reserved or, where nothing can be reserved, found free.
//   3. The commit point: the rename, or the first byte written in place. Up to it, a signal
//      that would end the run undoes the run's file work and ends it; from it on, the run
//      finishes the result and ends with status 0.
//   4. The finish: the result written over the old one from the start, cut to its length and
//      closed; or the failure reported.
// Until the commit point the result file holds what it held before the run. A reader that does not
// lock may meet a file written in place while it is written: the new result's first part over
// the old one's rest. New files that runs killed before their rename left are removed by the
// next run in the folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

#include "record_io/file_failure.hpp"
#include "record_io/file_system.hpp"

#if !defined(HLEXT_LOCK_WAIT_SECONDS)
#define HLEXT_LOCK_WAIT_SECONDS 30
#endif

namespace hlext {

// A run holds its lock for milliseconds: only a stuck holder keeps another run waiting longer
// than this, and the run then gives up with the result file untouched.
inline constexpr std::chrono::seconds LockWaitLimit{HLEXT_LOCK_WAIT_SECONDS};
// How long a run waits for a lock before it says what it is waiting for.
inline constexpr std::chrono::seconds LockWaitNotice{1};

// Commits `records` as the whole content of the regular file (or missing file) `name`; a
// warning on the way goes to `warn`. A failure is a Write, a Replace (the new file could not
// take the old one's place) or a Lock (another process held the file too long).
FileResult commitResult(const std::filesystem::path& name, std::string_view records,
                        const OutputWarning& warn);

// Writes `records` to the FIFO, terminal or device `name` through `file`, opened when the unit
// was, and closes it. Where that open found no reader of a FIFO, `file` is opened now, waiting
// for a reader as for a lock: a warning after LockWaitNotice, a failure after LockWaitLimit.
FileResult writeSpecialFile(const std::filesystem::path& name, File& file, std::string_view records,
                            const OutputWarning& warn);

}  // namespace hlext
