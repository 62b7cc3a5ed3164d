// What the standard library alone gives of a file's identity and of signals, for the platforms
// that have nothing closer to the system for them (Windows and the stdio build).
#include <array>
#include <csignal>
#include <system_error>

#include "record_io/file_system.hpp"
#include "record_io/held_signals.hpp"

namespace hlext {
namespace {

namespace fs = std::filesystem;

#if defined(SIGHUP)
constexpr std::array<int, 3> EndingSignals = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr std::array<int, 2> EndingSignals = {SIGINT, SIGTERM};
#endif

using Handler = void (*)(int);
std::array<Handler, EndingSignals.size()> previousHandlers{};
volatile std::sig_atomic_t arrivedSignal = 0;

extern "C" void noteSignal(int signal) { arrivedSignal = signal; }

}  // namespace

FileIdentity identityOf(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) return {};
  FileIdentity identity;
  identity.exists = true;
  identity.links = fs::hard_link_count(path, error);
  identity.permissions = status.permissions();
  return identity;
}

bool folderLetsGo(const fs::path&) { return true; }

HeldSignals::HeldSignals() {
  arrivedSignal = 0;
  for (std::size_t i = 0; i < EndingSignals.size(); ++i) {
    previousHandlers[i] = std::signal(EndingSignals[i], noteSignal);
    // A signal the process ignores (a job started in the background, nohup) stays ignored.
    if (previousHandlers[i] == SIG_IGN) std::signal(EndingSignals[i], SIG_IGN);
  }
}

int HeldSignals::arrived() const { return arrivedSignal; }

void HeldSignals::release() {
  if (!held_) return;
  held_ = false;
  for (std::size_t i = 0; i < EndingSignals.size(); ++i)
    if (previousHandlers[i] != SIG_ERR) std::signal(EndingSignals[i], previousHandlers[i]);
  if (arrivedSignal != 0) std::raise(arrivedSignal);
}

}  // namespace hlext
