#include "edge_sort.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "edge_source.h"
#include "parallel.h"

namespace segmora {

namespace {

uint32_t weightBits(EdgeKey key) {
    return static_cast<uint32_t>(key >> 32);
}

// How the radix sort cuts the span of weight bits into digits.
struct DigitPlan {
    uint32_t lowest = 0;
    int passes = 0;
    int width = 0;

    uint32_t digit(EdgeKey key, int pass) const {
        return ((weightBits(key) - lowest) >> (pass * width)) & ((1u << width) - 1);
    }
};

DigitPlan planDigits(const EdgeKey* keys, int64_t count, int parts) {
    std::vector<uint32_t> lows(parts, UINT32_MAX), highs(parts, 0);
    runInParts(parts, count, [&](int part, int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            lows[part] = std::min(lows[part], weightBits(keys[i]));
            highs[part] = std::max(highs[part], weightBits(keys[i]));
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

// Where each (weight, part) run starts in the sorted order, weights
// ascending and parts in order; `ranks` maps weight bits to a weight's rank
// and `runs` receives the runs of equal weight.
// False when the parts hold too many distinct weights between them.
bool runStarts(const std::vector<WeightTable>& counts, WeightTable& ranks,
               std::vector<std::vector<int64_t>>& starts, std::vector<WeightRun>& runs) {
    std::vector<uint32_t> distinct;
    for (const WeightTable& table : counts) {
        table.forEach([&](uint32_t weight, int64_t) { distinct.push_back(weight); });
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() > WeightTable::kMaxDistinct) return false;
    size_t slot;
    for (size_t rank = 0; rank < distinct.size(); ++rank) {
        ranks.slotOf(distinct[rank], slot);
        ranks.value(slot) = static_cast<int64_t>(rank);
    }
    starts.assign(counts.size(), std::vector<int64_t>(distinct.size(), 0));
    for (size_t part = 0; part < counts.size(); ++part) {
        counts[part].forEach(
            [&](uint32_t weight, int64_t n) { starts[part][ranks.valueOf(weight)] = n; });
    }
    int64_t next = 0;
    for (size_t rank = 0; rank < distinct.size(); ++rank) {
        for (auto& partStarts : starts) next += std::exchange(partStarts[rank], next);
        float weight;
        std::memcpy(&weight, &distinct[rank], sizeof weight);
        runs.push_back(WeightRun{weight, static_cast<uint32_t>(next)});
    }
    return true;
}

// Adds one occurrence of `weight`; false when the table is full.
bool countWeight(WeightTable& table, uint32_t weight) {
    size_t slot;
    if (!table.slotOf(weight, slot)) return false;
    ++table.value(slot);
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

namespace {

// Calls work(keys, count) for the keys of each row of the block, made into a
// row buffer first: a tight loop over the buffer then does the table work.
template <class Work>
void forEachRowOfKeys(const PixelChannels& channels, int32_t width, int32_t height,
                      int64_t firstRow, int64_t endRow, Work&& work) {
    const PlaneDistances distance(channels);
    std::vector<EdgeKey> row(static_cast<size_t>(width) * 4);
    for (int64_t y = firstRow; y < endRow; ++y) {
        EdgeKey* out = row.data();
        visitRowEdges(distance, width, static_cast<int32_t>(y), y > 0, y < height - 1,
                      [&](float weight, uint32_t edge) { *out++ = makeEdgeKey(weight, edge); });
        if (!work(row.data(), out - row.data())) return;
    }
}

}  // namespace

int64_t splitSortedKeys(EdgeKey* sorted, int64_t count, WeightRun* runs) {
    // Edge i is written at byte 4i, over keys already read.
    unsigned char* bytes = reinterpret_cast<unsigned char*>(sorted);
    int64_t runCount = 0;
    uint32_t runBits = 0;
    for (int64_t i = 0; i < count; ++i) {
        EdgeKey key;
        std::memcpy(&key, bytes + 8 * i, sizeof key);
        if (runCount == 0 || weightBits(key) != runBits) {
            runBits = weightBits(key);
            runs[runCount++] = WeightRun{keyWeight(key), 0};
        }
        runs[runCount - 1].end = static_cast<uint32_t>(i + 1);
        const uint32_t edge = keyEdge(key);
        std::memcpy(bytes + 4 * i, &edge, sizeof edge);
    }
    return runCount;
}

bool countEdgeWeights(const PixelChannels& channels, int32_t width, int32_t height,
                      WeightCounts& counts, int threads) {
    const int parts =
        std::min<int>(partsForItems(edgeCountFor(width, height), threads), std::max(height, 1));
    counts.firstRows.resize(static_cast<size_t>(parts) + 1);
    for (int part = 0; part <= parts; ++part)
        counts.firstRows[part] = int64_t{height} * part / parts;
    std::vector<WeightTable> tables(static_cast<size_t>(parts));
    std::vector<char> full(static_cast<size_t>(parts), 0);
    runInParts(parts, parts, [&](int part, int64_t, int64_t) {
        forEachRowOfKeys(channels, width, height, counts.firstRows[part],
                         counts.firstRows[part + 1], [&](const EdgeKey* keys, int64_t n) {
                             for (int64_t i = 0; i < n; ++i) {
                                 if (!countWeight(tables[part], weightBits(keys[i]))) {
                                     full[part] = 1;
                                     return false;
                                 }
                             }
                             return true;
                         });
    });
    return std::count(full.begin(), full.end(), 1) == 0 &&
           runStarts(tables, counts.ranks, counts.starts, counts.runs);
}

void placeEdges(const PixelChannels& channels, int32_t width, int32_t height, WeightCounts& counts,
                uint32_t* sorted) {
    const WeightTable& ranks = counts.ranks;
    const int parts = static_cast<int>(counts.starts.size());
    runInParts(parts, parts, [&](int part, int64_t, int64_t) {
        int64_t* position = counts.starts[part].data();
        forEachRowOfKeys(channels, width, height, counts.firstRows[part],
                         counts.firstRows[part + 1], [&](const EdgeKey* keys, int64_t n) {
                             for (int64_t i = 0; i < n; ++i) {
                                 sorted[position[ranks.valueOf(weightBits(keys[i]))]++] =
                                     keyEdge(keys[i]);
                             }
                             return true;
                         });
    });
}

}  // namespace segmora
