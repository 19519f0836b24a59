#include "stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace segmora {

namespace {

// Lives until the process ends: the signal thread may use it while main returns.
struct SignalState {
    sigset_t signals;
    std::mutex lock;
    bool working = false;
    std::atomic<bool> stop{false};
    std::atomic<int> signal{0};
};

SignalState& state() {
    static SignalState* shared = new SignalState;
    return *shared;
}

void takeSignals() {
    SignalState& shared = state();
    for (;;) {
        int taken = 0;
        if (::sigwait(&shared.signals, &taken) != 0) continue;
        std::lock_guard<std::mutex> guard(shared.lock);
        if (!shared.working) ::_exit(128 + taken);
        if (shared.signal == 0) shared.signal = taken;
        shared.stop = true;
    }
}

}  // namespace

StopSignals::StopSignals() {
    SignalState& shared = state();
    sigemptyset(&shared.signals);
    sigaddset(&shared.signals, SIGINT);
    sigaddset(&shared.signals, SIGTERM);
    sigaddset(&shared.signals, SIGHUP);
    const int error = ::pthread_sigmask(SIG_BLOCK, &shared.signals, nullptr);
    if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    std::thread(takeSignals).detach();
}

void StopSignals::beginWork() {
    std::lock_guard<std::mutex> guard(state().lock);
    state().working = true;
}

const std::atomic<bool>& StopSignals::stopRequested() const {
    return state().stop;
}

int StopSignals::signalNumber() const {
    return state().signal;
}

}  // namespace segmora
