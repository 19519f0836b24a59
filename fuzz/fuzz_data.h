#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace segmora::fuzz {

// Hands out a fuzz input piece by piece; reads past the end give zeros, so
// every input, however short, describes one complete case.
class FuzzData {
  public:
    FuzzData(const uint8_t* data, size_t size) : data(data), size(size) {}

    uint8_t byte() { return used < size ? data[used++] : 0; }
    // A number in 0 .. limit - 1.
    int below(int limit) { return byte() % limit; }
    // Everything not yet handed out.
    std::string rest() {
        std::string tail(reinterpret_cast<const char*>(data) + used, size - used);
        used = size;
        return tail;
    }

  private:
    const uint8_t* data;
    size_t size;
    size_t used = 0;
};

// Stops the run when a property of the code under test does not hold: the
// fuzzer keeps the input, the replay test fails.
inline void check(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

// A directory of this process's own for files the targets write, removed at exit.
const std::string& scratchDirectory();

}  // namespace segmora::fuzz
