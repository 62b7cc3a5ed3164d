// Holds back the signals that would end a run while the result file is committed, so that an
// interrupted run neither leaves a new file behind nor stops halfway through writing the result
// in place, and its exit status tells whether the result file holds its result. Where the platform
// can block signals (POSIX), every catchable signal whose default is to end the process is
// held; faults (SIGSEGV and the like) and the stop and ignore-by-default signals are not.
// Elsewhere the signals of the C library that ask a run to end (SIGINT, SIGTERM) are noted
// by a handler. Each platform file implements this header.
#pragma once

namespace hlext {

class HeldSignals {
 public:
  // From here on such a signal is only noted; one the process ignores stays ignored.
  HeldSignals();
  // Releases them unless kept (see release()).
  ~HeldSignals() { release(); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

  // The number of a held signal that has arrived and would end the run; 0 when none has.
  int arrived() const;
  // Handles the signals as before again: one that arrived now ends the process, as it would
  // have ended at once without the hold.
  void release();
  // The commit point is passed: the result is the run's answer, so a signal that arrived or
  // arrives from here on no longer ends it; it stays held, or only noted where a handler notes
  // it, until the process exits.
  void keepUntilExit() { held_ = false; }

 private:
  bool held_ = true;
};

}  // namespace hlext
