#pragma once

#include <cstdint>
#include <functional>

namespace segmora {

// Number of threads the engine and the label writer use: the environment
// variable SEGMORA_THREADS when set (1 gives a single-thread run), else the
// machine's core count, at most 8. Results never depend on it.
int workerCount();

// Threads for a job over `count` items (edges, keys): one per 2^20 items,
// at least one and at most workerCount().
int partsForItems(int64_t count);

// Splits [0, count) into `parts` consecutive ranges and runs
// work(part, begin, end) for each, on `parts` threads (the caller's among
// them). Exceptions thrown by any part are rethrown here.
void runInParts(int parts, int64_t count,
                const std::function<void(int part, int64_t begin, int64_t end)>& work);

}  // namespace segmora
