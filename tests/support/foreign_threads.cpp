// Preloaded (LD_PRELOAD) into a program under test: starts a thread before main that
// blocks no signal, as a library may while it loads (OpenBLAS starts its pool so). A
// program whose signal handling works only in the threads it starts itself then meets
// its signals in this one.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

void* idle(void*) {
    for (;;) ::pause();
}

__attribute__((constructor)) void startForeignThread() {
    sigset_t none, saved;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, &saved);
    pthread_t thread;
    if (::pthread_create(&thread, nullptr, idle, nullptr) == 0) ::pthread_detach(thread);
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

}  // namespace
