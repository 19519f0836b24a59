#include "key_sort.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "edge_weights.h"
#include "parallel.h"

namespace segmora {

namespace {

uint32_t keyBits(EdgeKey key) {
    return static_cast<uint32_t>(key >> 32);
}

// How the radix sort cuts the span of weight bits into digits.
struct DigitPlan {
    uint32_t lowest = 0;
    int passes = 0;
    int width = 0;

    uint32_t digit(EdgeKey key, int pass) const {
        return ((keyBits(key) - lowest) >> (pass * width)) & ((1u << width) - 1);
    }
};

DigitPlan planDigits(const EdgeKey* keys, int64_t count, int parts) {
    std::vector<uint32_t> lows(parts, UINT32_MAX), highs(parts, 0);
    runInParts(parts, count, [&](int part, int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            lows[part] = std::min(lows[part], keyBits(keys[i]));
            highs[part] = std::max(highs[part], keyBits(keys[i]));
        }
    });
    DigitPlan plan;
    plan.lowest = *std::min_element(lows.begin(), lows.end());
    const uint32_t span = *std::max_element(highs.begin(), highs.end()) - plan.lowest;
    int bits = 0;
    while (bits < 32 && (span >> bits) != 0) ++bits;
    plan.passes = (bits + 10) / 11;
    plan.width = plan.passes == 0 ? 0 : (bits + plan.passes - 1) / plan.passes;
    return plan;
}

// One stable scatter pass: each part counts its range, then moves it.
// Returns false (and moves nothing) when every key has the same digit.
bool scatterPass(const EdgeKey* from, EdgeKey* to, int64_t count, int parts, const DigitPlan& plan,
                 int pass) {
    const size_t buckets = size_t{1} << plan.width;
    std::vector<std::vector<int64_t>> counts(parts, std::vector<int64_t>(buckets, 0));
    runInParts(parts, count, [&](int part, int64_t begin, int64_t end) {
        int64_t* c = counts[part].data();
        for (int64_t i = begin; i < end; ++i) ++c[plan.digit(from[i], pass)];
    });
    for (size_t d = 0; d < buckets; ++d) {
        int64_t total = 0;
        for (int part = 0; part < parts; ++part) total += counts[part][d];
        if (total == count) return false;
    }
    int64_t next = 0;
    for (size_t d = 0; d < buckets; ++d) {
        for (int part = 0; part < parts; ++part) next += std::exchange(counts[part][d], next);
    }
    runInParts(parts, count, [&](int part, int64_t begin, int64_t end) {
        int64_t* position = counts[part].data();
        for (int64_t i = begin; i < end; ++i) to[position[plan.digit(from[i], pass)]++] = from[i];
    });
    return true;
}

EdgeKey* radixSort(EdgeKey* keys, EdgeKey* scratch, int64_t count, int parts) {
    const DigitPlan plan = planDigits(keys, count, parts);
    EdgeKey* from = keys;
    EdgeKey* to = scratch;
    for (int pass = 0; pass < plan.passes; ++pass) {
        if (scatterPass(from, to, count, parts, plan, pass)) std::swap(from, to);
    }
    return from;
}

}  // namespace

EdgeKey* sortEdgeKeys(EdgeKey* keys, EdgeKey* scratch, int64_t count, int threads) {
    if (count < 2) return keys;
    return radixSort(keys, scratch, count, partsForItems(count, threads));
}

int64_t splitSortedKeys(EdgeKey* sorted, int64_t count, WeightRun* runs) {
    // Edge i is written at byte 4i, over keys already read.
    unsigned char* bytes = reinterpret_cast<unsigned char*>(sorted);
    int64_t runCount = 0;
    uint32_t runBits = 0;
    for (int64_t i = 0; i < count; ++i) {
        EdgeKey key;
        std::memcpy(&key, bytes + 8 * i, sizeof key);
        if (runCount == 0 || keyBits(key) != runBits) {
            runBits = keyBits(key);
            runs[runCount++] = WeightRun{keyWeight(key), 0};
        }
        runs[runCount - 1].end = static_cast<uint32_t>(i + 1);
        const uint32_t edge = keyEdge(key);
        std::memcpy(bytes + 4 * i, &edge, sizeof edge);
    }
    return runCount;
}

int64_t buildEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height, EdgeKey* keys,
                      int threads) {
    if (width <= 0 || height <= 0) return 0;
    const int64_t count = edgeCountFor(width, height);
    runInParts(std::min<int>(partsForItems(count, threads), height), height,
               [&](int, int64_t begin, int64_t end) {
                   std::vector<float> weights(static_cast<size_t>(width) * 4);
                   EdgeKey* out = keys + edgesBeforeRow(width, height, begin);
                   for (int64_t y = begin; y < end; ++y) {
                       const RowEdges row(width, height, y);
                       rowEdgeWeights(channels, row, weights.data());
                       visitInConstructionOrder(row, weights.data(), [&](float w, uint32_t edge) {
                           *out++ = makeEdgeKey(w, edge);
                       });
                   }
               });
    return count;
}

}  // namespace segmora
