#include "stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "temporary_files.h"

namespace segmora {

namespace {

// What the handler reads and writes: lock-free atomics only.
std::atomic<bool> working{false};
std::atomic<int> messageFd{-1};
std::atomic<bool> stop{false};
std::atomic<int> firstSignal{0};
std::atomic<const char*> programName{"segmora-batch"};

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");
static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free atomics");

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

bool isIgnored(int signal) {
    struct sigaction current;
    return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

// Async-signal-safe: the line is put together without allocating.
[[noreturn]] void endAtOnce(int signal) {
    char line[160] = "";
    std::strncat(line, programName.load(), 40);
    std::strcat(line, ": stopped at once by a second ");
    std::strcat(line, stopSignalName(signal));
    std::strcat(line, "; the photos under way are lost\n");
    if (::write(messageFd.load(), line, std::strlen(line)) < 0) {
        // nothing more to do: the status tells
    }
    removeTemporaryFilesAndExit(128 + signal);
}

void takeSignal(int signal) {
    const int savedErrno = errno;
    if (!working.load()) ::_exit(128 + signal);
    int none = 0;
    if (!firstSignal.compare_exchange_strong(none, signal)) endAtOnce(signal);
    stop.store(true);
    errno = savedErrno;
}

// The signals this process takes: those not ignored at start.
bool taken[std::size(kStopSignals)] = {};

// Installs the handler for the signals taken. `restart`: calls under way go on after it.
void install(bool restart) {
    struct sigaction action = {};
    action.sa_handler = takeSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = restart ? SA_RESTART : 0;
    for (size_t i = 0; i < std::size(kStopSignals); ++i) {
        if (taken[i]) ::sigaction(kStopSignals[i], &action, nullptr);
    }
}

}  // namespace

const char* stopSignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
}

// A handler rather than a thread that waits for the signals: blocking them works only in
// the threads the program starts itself, and a library may have started others before
// main (OpenBLAS does), which would take the signal with its default action. Until the
// work begins the handler never returns, so nothing needs restarting: a read of the list
// is interrupted (which also lets ThreadSanitizer, which runs handlers at the next call
// it sees, run it). Afterwards the reads and writes of the photos under way go on.
StopSignals::StopSignals(const char* program) {
    programName.store(program);
    for (size_t i = 0; i < std::size(kStopSignals); ++i) taken[i] = !isIgnored(kStopSignals[i]);
    install(false);
}

void StopSignals::beginWork(int fd) {
    messageFd.store(fd);
    install(true);
    working.store(true);
}

const std::atomic<bool>& StopSignals::stopRequested() const {
    return stop;
}

int StopSignals::signalNumber() const {
    return firstSignal.load();
}

}  // namespace segmora
