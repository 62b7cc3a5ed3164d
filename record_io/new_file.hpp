// The new file that takes the result file's place when it is replaced, and what killed runs left of
// theirs. Each run marks its new file as in use for as long as it has it (a lock where the
// platform has locks), so that a later run tells the file of a run that is still going from
// one that a run killed before its rename left.
#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

#include "record_io/file_failure.hpp"
#include "record_io/file_system.hpp"

namespace hlext {

// The folder a file's name is in.
std::filesystem::path folderOf(const std::filesystem::path& path);

// A new file made beside a result file, private to its owner, and taken away again unless it
// has taken the result file's place; a warning on the way goes to `warn`.
class NewFile {
 public:
  NewFile(const std::filesystem::path& target, OutputWarning warn);
  ~NewFile() { discard(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // The file, open for writing; or why it could not be made (openResult()).
  File& file() { return file_; }
  std::error_code renameOver(const std::filesystem::path& target);
  // Removes the file; where the folder refuses that, leaves it empty and says so.
  void discard();

 private:
  bool claim();

  OutputWarning warn_;
  std::filesystem::path path_;
  File file_;
  File keeper_;  // holds the mark
  bool present_ = false;
};

// Removes the new files beside `target` that runs killed before their rename left: those not
// marked in use, which this run can lock. One warning names them.
void clearLeftNewFiles(const std::filesystem::path& target, const OutputWarning& warn);

}  // namespace hlext
