#include "parallel.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace segmora {

int threadCountFor(int requested) {
    if (requested >= 1) return std::min(requested, 64);
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 8u));
}

int partsForItems(int64_t count, int threads) {
    return static_cast<int>(std::clamp<int64_t>(count >> 20, 1, std::max(threads, 1)));
}

void runInParts(int parts, int64_t count,
                const std::function<void(int part, int64_t begin, int64_t end)>& work) {
    parts = std::max(1, parts);
    auto bounds = [&](int part) { return count * part / parts; };
    std::vector<std::exception_ptr> failures(static_cast<size_t>(parts));
    auto runPart = [&](int part) {
        try {
            work(part, bounds(part), bounds(part + 1));
        } catch (...) {
            failures[part] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    for (int part = 1; part < parts; ++part) {
        try {
            threads.emplace_back(runPart, part);
        } catch (const std::system_error&) {
            runPart(part);  // no thread to be had: do the part here
        }
    }
    runPart(0);
    for (std::thread& thread : threads) thread.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
}

}  // namespace segmora
