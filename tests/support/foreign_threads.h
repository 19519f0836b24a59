#pragma once

#include <cstdlib>

// While it lives, the programs a test starts get a thread that blocks no signal before
// their main (tests/support/foreign_threads.cpp, preloaded), whether or not a library of
// this machine starts one. Not under the sanitizers, whose runtime must load first.
class ForeignThreads {
  public:
    explicit ForeignThreads(const char* library) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        ::setenv("LD_PRELOAD", library, 1);
#else
        (void)library;
#endif
    }
    ~ForeignThreads() {
        ::unsetenv("LD_PRELOAD");
    }
    ForeignThreads(const ForeignThreads&) = delete;
    ForeignThreads& operator=(const ForeignThreads&) = delete;
};
