#include "record_io/held_signals.hpp"

#include <array>
#include <csignal>

namespace hlext {
namespace {

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

HeldSignals::HeldSignals() {
  arrivedSignal = 0;
  for (std::size_t i = 0; i < EndingSignals.size(); ++i) {
    previousHandlers[i] = std::signal(EndingSignals[i], noteSignal);
    // A signal the process ignores (a job started in the background, nohup) stays ignored.
    if (previousHandlers[i] == SIG_IGN) std::signal(EndingSignals[i], SIG_IGN);
  }
}

HeldSignals::~HeldSignals() { release(); }

bool HeldSignals::arrived() const { return arrivedSignal != 0; }

void HeldSignals::release() {
  if (!held_) return;
  held_ = false;
  for (std::size_t i = 0; i < EndingSignals.size(); ++i)
    if (previousHandlers[i] != SIG_ERR) std::signal(EndingSignals[i], previousHandlers[i]);
  if (arrivedSignal != 0) std::raise(arrivedSignal);
}

}  // namespace hlext
