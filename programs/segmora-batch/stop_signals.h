#pragma once

#include <atomic>

namespace segmora {

// SIGINT, SIGTERM and SIGHUP for a program that must not leave temporary files behind. The
// constructor blocks these signals in the calling thread, and so in every thread started
// after it (construct it first in main), and starts one thread that takes them. A signal
// that is ignored when the program starts (nohup, a background job of a script) is left
// alone and stays ignored. Until beginWork(), a signal ends the process at once with
// status 128 + its number (nothing has been written yet); afterwards the first one only
// sets stopRequested(), and the program finishes the photos under way and exits with
// exitStatus(); a second one ends the process at once, removing the temporary files
// first. Process-wide: one per program. The constructor throws std::system_error when
// the thread cannot be started.
class StopSignals {
  public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // From now on a signal asks to stop; a second one is reported on `messageFd`.
    void beginWork(int messageFd);
    const std::atomic<bool>& stopRequested() const;
    // The number of the signal taken, 0 when none.
    int signalNumber() const;
};

// "SIGINT", "SIGTERM" or "SIGHUP".
const char* stopSignalName(int signal);

}  // namespace segmora
