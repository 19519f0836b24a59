#pragma once

#include <atomic>

namespace segmora {

// SIGINT, SIGTERM and SIGHUP for a program that must not leave temporary files behind.
// The constructor installs a handler for each; the kernel may run it in any thread of the
// process, those that libraries start before main included, and it behaves the same in
// each. A signal that is ignored when the program starts (nohup, a background job of a
// script) is left alone and stays ignored. Until beginWork(), a signal ends the process
// at once with status 128 + its number (nothing has been written yet); afterwards the
// first one only sets stopRequested(), and the program finishes the photos under way and
// exits with exitStatus(); a second one ends the process at once, removing the temporary
// files first. Process-wide: one per program.
class StopSignals {
  public:
    // `program` starts the line said on a second signal; it must live as long as the process.
    explicit StopSignals(const char* program = "segmora-batch");
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
