#include "record_io/new_file.hpp"

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace hlext {
namespace {

namespace fs = std::filesystem;

// A new file's name keeps at most this much of the target's, so that it stays within the
// 255 bytes a name may have when the target's own name is long.
constexpr std::size_t MaxKeptNameLength = 200;
constexpr unsigned MaxNameAttempts = 100;

// A name for a new file beside `target`, hidden where names with a leading dot are. Runs
// started at once differ in the clock and in their stack's address; creating the file
// exclusively settles any clash that is left.
fs::path temporaryName(const fs::path& target, unsigned attempt) {
  const int local = 0;
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&local));
  std::uint64_t mixed = ticks ^ (address << 20) ^ (attempt * 0x9E3779B97F4A7C15ULL);
  fs::path::string_type kept = target.filename().native();
  if (kept.size() > MaxKeptNameLength) kept.resize(MaxKeptNameLength);
  std::string digits;
  for (int digit = 0; digit < 12; ++digit, mixed >>= 4) digits += "0123456789abcdef"[mixed & 15];
  fs::path name(".");
  name += kept;
  name += "." + digits + ".new";
  return target.parent_path() / name;
}

// Whether `name` is one that temporaryName() gives for a target whose kept name is `kept`.
bool isNewFileName(std::string_view name, std::string_view kept) {
  constexpr std::string_view End = ".new";
  if (name.size() != kept.size() + 14 + End.size() || !name.starts_with(".") ||
      name.substr(1, kept.size()) != kept || !name.ends_with(End))
    return false;
  const std::string_view digits = name.substr(kept.size() + 1, 13);
  return digits[0] == '.' && digits.find_first_not_of("0123456789abcdef", 1) == digits.npos;
}

// Whether this run locks `file`: another run's new file that this run can lock is one that
// no run is writing any more.
bool locksHere(File& file) {
  const FileValue<LockAttempt> attempt = file.tryLock();
  return !attempt.failed() && attempt.value().outcome == LockAttempt::Outcome::Locked;
}

}  // namespace

fs::path folderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

NewFile::NewFile(const fs::path& target, OutputWarning warn) : warn_(std::move(warn)) {
  for (unsigned attempt = 0; attempt < MaxNameAttempts; ++attempt) {
    path_ = temporaryName(target, attempt);
    file_ = File::open(path_, OpenMode::CreateNew);
    if (file_.openResult().failedWith(std::errc::file_exists)) continue;
    if (!file_.isOpen() || claim()) break;
    (void)file_.close();
  }
  present_ = file_.isOpen();
}

std::error_code NewFile::renameOver(const fs::path& target) {
  std::error_code error;
  fs::rename(path_, target, error);
  if (!error) present_ = false;
  (void)keeper_.close();
  return error;
}

void NewFile::discard() {
  (void)file_.close();
  if (!present_) return;
  present_ = false;
  std::error_code error;
  const bool removed = fs::remove(path_, error) || !error;
  if (!removed) {
    File left = File::open(path_, OpenMode::Write);
    if (left.isOpen()) (void)left.truncate(0);
  }
  (void)keeper_.close();  // only once the file is gone or empty
  if (!removed && warn_)
    warn_("cannot remove the new file " + path_.filename().string() + ": " + error.message() +
          "; it is left empty");
}

// Marks the file just made as in use; false where a later run took it for a dead run's
// meanwhile (and holds or has removed it). One that cannot be marked is written all the same.
bool NewFile::claim() {
  keeper_ = File::open(path_, OpenMode::Read);
  if (keeper_.isOpen()) {
    const FileResult marked = keeper_.markInUse();
    if (marked.failedWith(std::errc::operation_would_block)) return false;
    if (marked.failed()) (void)keeper_.close();  // it holds nothing
  }
  std::error_code error;
  return fs::exists(path_, error);
}

// Removes the new files beside `target` that runs killed before their rename left: those
// whose lock this run can take, since a run holds the lock on its own until it is done. One
// warning names them.
void clearLeftNewFiles(const fs::path& target, const OutputWarning& warn) {
  std::string kept = target.filename().string();
  if (kept.size() > MaxKeptNameLength) kept.resize(MaxKeptNameLength);
  std::string removed;
  int count = 0;
  std::error_code error;
  for (fs::directory_iterator entry(folderOf(target), error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    std::error_code ignored;
    if (!isNewFileName(name, kept) || !entry->is_regular_file(ignored) ||
        entry->is_symlink(ignored))
      continue;
    File left = File::open(entry->path(), OpenMode::Write);
    if (!left.isOpen() || !locksHere(left)) continue;
    if (!fs::remove(entry->path(), ignored)) continue;
    removed += (count++ == 0 ? "" : ", ") + name;
  }
  if (count > 0 && warn)
    warn("removed " + std::to_string(count) + " new file" + (count == 1 ? "" : "s") +
         " that runs killed before their rename left: " + removed);
}

}  // namespace hlext
