#pragma once

#include <csignal>
#include <initializer_list>

namespace segmora {

// Process-wide list of the hidden temporary files being written right now, so that a
// signal that ends the process cannot leave them behind. OutputFile registers each
// temporary file while it exists. The list is a fixed array of paths: reading it and
// removing the files it names is async-signal-safe, so a program's own signal handler may
// call removeTemporaryFiles().
//
// Registers `path` (copied) and returns its slot, or -1 when the list is full or the path
// too long: the file is then not removed on a signal, but everything else works.
int registerTemporaryFile(const char* path) noexcept;
// Forgets the slot (a no-op for -1); the file itself is left alone.
void unregisterTemporaryFile(int slot) noexcept;
// Unlinks every registered file. Async-signal-safe.
void removeTemporaryFiles() noexcept;

// Program-level set-up, called once from a program's main: on each of `signals` the
// registered files are removed and the signal is raised again with its default action, so
// the process ends with that signal's usual status. A signal the process was started with
// ignored stays ignored. A program that handles some of these signals itself leaves them
// out and calls removeTemporaryFiles() from its own handler.
void removeTemporaryFilesOnSignals(std::initializer_list<int> signals = {SIGINT, SIGTERM, SIGHUP,
                                                                         SIGPIPE});

// Blocks the signals above on the calling thread while it lives, so that a temporary file
// is never created without being registered.
class SignalBlock {
  public:
    SignalBlock();
    ~SignalBlock();
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

  private:
    sigset_t saved;
};

// Held while a temporary file is created and registered: the signals above are blocked on
// this thread, and a signal handler on any other thread that removes the files (the
// handler of removeTemporaryFilesOnSignals(), removeTemporaryFilesAndExit()) waits until
// the file is registered. Once the process is ending, the constructor never returns: no
// file is created after the files were removed.
class TemporaryCreation {
  public:
    TemporaryCreation();
    ~TemporaryCreation();
    TemporaryCreation(const TemporaryCreation&) = delete;
    TemporaryCreation& operator=(const TemporaryCreation&) = delete;

  private:
    SignalBlock block;
};

// Ends the process at once with `status` after removing every registered file, waiting
// for a temporary file being created to be registered first. Async-signal-safe: a
// program's own handler may call it, in whatever thread the signal arrives.
[[noreturn]] void removeTemporaryFilesAndExit(int status) noexcept;

}  // namespace segmora
