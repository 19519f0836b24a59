#pragma once

#include <atomic>

namespace segmora {

// SIGINT, SIGTERM and SIGHUP for a program that must not leave temporary files behind. The
// constructor blocks these signals in the calling thread, and so in every thread started
// after it (construct it first in main), and starts one thread that takes them. Until
// beginWork(), a signal ends the process at once with status 128 + its number (nothing
// has been written yet); afterwards it only sets stopRequested(), and the program finishes
// the photos under way and exits with exitStatus(). Process-wide: one per program.
class StopSignals {
  public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    void beginWork();
    const std::atomic<bool>& stopRequested() const;
    // The number of the signal taken, 0 when none.
    int signalNumber() const;
};

}  // namespace segmora
