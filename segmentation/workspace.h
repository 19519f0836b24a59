#pragma once

#include "block_pool.h"

namespace segmora {

// What one engine call works with: the pool its big arrays come from (a
// Segmenter's, warm from earlier calls) and its thread count (resolved by
// threadCountFor, at least 1).
struct Workspace {
    BlockPool& pool;
    int threads;
};

}  // namespace segmora
