#include "temporary_files.h"

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

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

// Temporary files being created and not yet registered, and whether the process is
// ending: a thread that finds it ending creates nothing more (see TemporaryCreation). Both
// sequentially consistent, so that of a creator and an ending process at least one sees
// the other.
std::atomic<int> creating{0};
std::atomic<bool> ending{false};

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");
static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free atomics");

// Async-signal-safe. Whatever thread runs it, the creating threads have these signals
// blocked, so none of them is the one waiting here.
void removeForGood() {
    ending.store(true);
    const timespec pause = {0, 100000};
    while (creating.load() != 0) ::nanosleep(&pause, nullptr);
    removeTemporaryFiles();
}

void removeAndRaise(int signal) {
    removeForGood();
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

// The signals are blocked (member `block`) before the count goes up and unblocked after
// it goes down.
TemporaryCreation::TemporaryCreation() {
    creating.fetch_add(1);
    if (!ending.load()) return;
    creating.fetch_sub(1);
    for (;;) ::pause();  // the process is ending: wait for it, create nothing
}

TemporaryCreation::~TemporaryCreation() {
    creating.fetch_sub(1);
}

void removeTemporaryFilesAndExit(int status) noexcept {
    removeForGood();
    ::_exit(status);
}

}  // namespace segmora
