// Holds back the signals that ask a run to end (SIGINT, SIGTERM and, where the platform has
// it, SIGHUP) while the result file is being put in place, so that an interrupted run neither
// leaves a new file behind nor stops halfway through writing fort.50 in place.
#pragma once

namespace hlext {

class HeldSignals {
 public:
  // From here on such a signal is only noted, unless the process ignores it.
  HeldSignals();
  // Releases them (see release()).
  ~HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

  // True once such a signal has arrived.
  bool arrived() const;
  // Handles the signals as before again and, when one arrived, ends the process by it now, as
  // it would have ended at once without the hold.
  void release();

 private:
  bool held_ = true;
};

}  // namespace hlext
