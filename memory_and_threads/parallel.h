#pragma once

#include <cstdint>
#include <functional>

namespace segmora {

// Threads of one engine call: `requested` (at most 64), or when it is 0 the machine's core
// count, at most 8. Results never depend on it.
int threadCountFor(int requested);

// Threads for a job over `count` items (edges, keys): one per 2^20 items, at least one and
// at most `threads`.
int partsForItems(int64_t count, int threads);

// Splits [0, count) into `parts` consecutive ranges and runs
// work(part, begin, end) for each, on `parts` threads (the caller's among
// them). Exceptions thrown by any part are rethrown here.
void runInParts(int parts, int64_t count,
                const std::function<void(int part, int64_t begin, int64_t end)>& work);

}  // namespace segmora
