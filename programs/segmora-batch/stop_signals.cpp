#include "stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "temporary_files.h"

namespace segmora {

namespace {

// Lives until the process ends: the signal thread may use it while main returns.
struct SignalState {
    sigset_t signals;
    std::mutex lock;
    bool working = false;
    int messageFd = -1;
    std::atomic<bool> stop{false};
    std::atomic<int> signal{0};
};

SignalState& state() {
    static SignalState* shared = new SignalState;
    return *shared;
}

bool isIgnored(int signal) {
    struct sigaction current;
    return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

[[noreturn]] void endAtOnce(const SignalState& shared, int signal) {
    const std::string message = std::string("segmora-batch: stopped at once by a second ") +
                                stopSignalName(signal) + "; the photos under way are lost\n";
    if (::write(shared.messageFd, message.data(), message.size()) < 0) {
        // nothing more to do: the status tells
    }
    removeTemporaryFilesAndExit(128 + signal);
}

void takeSignals() {
    SignalState& shared = state();
    for (;;) {
        int taken = 0;
        if (::sigwait(&shared.signals, &taken) != 0) continue;
        std::lock_guard<std::mutex> guard(shared.lock);
        if (!shared.working) ::_exit(128 + taken);
        if (shared.stop) endAtOnce(shared, taken);
        if (shared.signal == 0) shared.signal = taken;
        shared.stop = true;
    }
}

}  // namespace

const char* stopSignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
}

StopSignals::StopSignals() {
    SignalState& shared = state();
    sigemptyset(&shared.signals);
    bool any = false;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (isIgnored(signal)) continue;
        sigaddset(&shared.signals, signal);
        any = true;
    }
    if (!any) return;
    const int error = ::pthread_sigmask(SIG_BLOCK, &shared.signals, nullptr);
    if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    std::thread(takeSignals).detach();
}

void StopSignals::beginWork(int messageFd) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().messageFd = messageFd;
    state().working = true;
}

const std::atomic<bool>& StopSignals::stopRequested() const {
    return state().stop;
}

int StopSignals::signalNumber() const {
    return state().signal;
}

}  // namespace segmora
