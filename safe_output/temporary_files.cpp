#include "temporary_files.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

namespace segmora {

namespace {

constexpr int kSlots = 64;

enum SlotState : int { kFree, kFilling, kInUse };

// A slot is claimed (kFree -> kFilling) before its path is copied and published
// (kInUse) after, so a handler never reads a half-written path.
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

Slot slots[kSlots];

// Never destroyed: removeTemporaryFilesAndExit() may hold it while the process ends.
std::mutex& creationLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");

void removeAndRaise(int signal) {
    removeTemporaryFiles();
    // SA_RESETHAND has restored the default action; the signal is blocked until the
    // handler returns, and then ends the process.
    ::raise(signal);
}

sigset_t cleanupSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&set, signal);
    return set;
}

}  // namespace

int registerTemporaryFile(const char* path) noexcept {
    const size_t length = std::strlen(path);
    if (length >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slots[i].path, path, length + 1);
        slots[i].state.store(kInUse, std::memory_order_release);
        return i;
    }
    return -1;
}

void unregisterTemporaryFile(int slot) noexcept {
    if (slot >= 0 && slot < kSlots) slots[slot].state.store(kFree, std::memory_order_release);
}

void removeTemporaryFiles() noexcept {
    for (Slot& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) == kInUse) ::unlink(slot.path);
    }
}

void removeTemporaryFilesOnSignals(std::initializer_list<int> signals) {
    for (int signal : signals) {
        struct sigaction current;
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction action = {};
        action.sa_handler = removeAndRaise;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &action, nullptr);
    }
}

SignalBlock::SignalBlock() {
    const sigset_t set = cleanupSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, &saved);
}

SignalBlock::~SignalBlock() {
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

TemporaryCreation::TemporaryCreation() {
    creationLock().lock();
}

TemporaryCreation::~TemporaryCreation() {
    creationLock().unlock();
}

void removeTemporaryFilesAndExit(int status) noexcept {
    creationLock().lock();  // kept: no file is created after this
    removeTemporaryFiles();
    ::_exit(status);
}

}  // namespace segmora
