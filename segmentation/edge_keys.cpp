#include "edge_keys.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "parallel.h"

namespace segmora {

namespace {

struct Planes {
    const float* c0;
    const float* c1;
    const float* c2;

    float distance(int32_t p, int32_t q) const {
        const float d0 = c0[p] - c0[q];
        const float d1 = c1[p] - c1[q];
        const float d2 = c2[p] - c2[q];
        return std::sqrt((d0 * d0 + d1 * d1) + d2 * d2);
    }
};

// Keys of one row's pixels; `above`/`below` say whether those rows exist.
EdgeKey* rowKeys(const Planes& planes, int32_t width, int32_t y, bool above, bool below,
                 EdgeKey* out) {
    const int32_t first = y * width;
    for (int32_t x = 0; x < width - 1; ++x) {
        const int32_t a = first + x;
        const uint32_t edge = static_cast<uint32_t>(a) * 4;
        *out++ = makeEdgeKey(planes.distance(a, a + 1), edge + kRight);
        if (below) {
            *out++ = makeEdgeKey(planes.distance(a, a + width), edge + kBelow);
            *out++ = makeEdgeKey(planes.distance(a, a + width + 1), edge + kBelowRight);
        }
        if (above) *out++ = makeEdgeKey(planes.distance(a, a - width + 1), edge + kAboveRight);
    }
    const int32_t last = first + width - 1;
    if (below) *out++ = makeEdgeKey(planes.distance(last, last + width), uint32_t(last) * 4 + kBelow);
    return out;
}

// Rows [begin, end) of a width x height image produce this many edges
// before row `row`: right edges on every row, below and below-right edges
// on all rows but the last, above-right edges on all rows but the first.
int64_t edgesBeforeRow(int32_t width, int32_t height, int64_t row) {
    const int64_t w = width;
    return row * (w - 1) + std::min<int64_t>(row, height - 1) * (2 * w - 1) +
           std::max<int64_t>(row - 1, 0) * (w - 1);
}

// Keys per thread below which one thread does the whole job.
constexpr int64_t kKeysPerPart = int64_t{1} << 20;

int partsFor(int64_t count) {
    return static_cast<int>(std::clamp<int64_t>(count / kKeysPerPart, 1, workerCount()));
}

uint32_t weightBits(EdgeKey key) { return static_cast<uint32_t>(key >> 32); }

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
bool scatterPass(const EdgeKey* from, EdgeKey* to, int64_t count, int parts,
                 const DigitPlan& plan, int pass) {
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

// Open-addressing table from weight bits to a count or a rank. Photos have
// few distinct edge weights (thousands), so it stays in cache.
class WeightTable {
public:
    static constexpr int kCapacityBits = 17;
    static constexpr size_t kMaxDistinct = size_t{1} << (kCapacityBits - 1);

    WeightTable() : bits(size_t{1} << kCapacityBits, kEmpty), values(bits.size(), 0) {}

    // Slot of `weight`, claimed if new; false when the table is full.
    bool slotOf(uint32_t weight, size_t& slot) {
        slot = probe(weight);
        if (bits[slot] == kEmpty) {
            if (distinct == kMaxDistinct) return false;
            bits[slot] = weight;
            ++distinct;
        }
        return true;
    }
    int64_t& value(size_t slot) { return values[slot]; }
    int64_t valueOf(uint32_t weight) const { return values[probe(weight)]; }

    template <class Visit>
    void forEach(Visit visit) const {
        for (size_t slot = 0; slot < bits.size(); ++slot) {
            if (bits[slot] != kEmpty) visit(bits[slot], values[slot]);
        }
    }

private:
    // A NaN pattern that edge keys never carry (their NaNs are canonical).
    static constexpr uint32_t kEmpty = 0xffffffffu;

    size_t probe(uint32_t weight) const {
        const size_t mask = bits.size() - 1;
        size_t slot = (weight * 2654435761u) >> (32 - kCapacityBits);
        while (bits[slot] != kEmpty && bits[slot] != weight) slot = (slot + 1) & mask;
        return slot;
    }

    std::vector<uint32_t> bits;
    std::vector<int64_t> values;
    size_t distinct = 0;
};

// Counting sort over the distinct weights: one counting pass, one stable
// scatter pass. Returns the sorted array (scratch), or null when the keys
// hold too many distinct weights for the table.
EdgeKey* sortByDistinctWeights(const EdgeKey* keys, EdgeKey* scratch, int64_t count, int parts) {
    std::vector<WeightTable> counts(static_cast<size_t>(parts));
    std::vector<char> full(static_cast<size_t>(parts), 0);
    runInParts(parts, count, [&](int part, int64_t begin, int64_t end) {
        WeightTable& table = counts[part];
        size_t slot;
        for (int64_t i = begin; i < end; ++i) {
            if (!table.slotOf(weightBits(keys[i]), slot)) {
                full[part] = 1;
                return;
            }
            ++table.value(slot);
        }
    });
    if (std::count(full.begin(), full.end(), 1) > 0) return nullptr;

    std::vector<uint32_t> distinct;
    for (const WeightTable& table : counts) table.forEach([&](uint32_t w, int64_t) { distinct.push_back(w); });
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() > WeightTable::kMaxDistinct) return nullptr;

    // Start of each (weight, part) run: weights ascending, parts in order.
    WeightTable ranks;
    std::vector<std::vector<int64_t>> starts(static_cast<size_t>(parts),
                                             std::vector<int64_t>(distinct.size(), 0));
    size_t slot;
    for (size_t rank = 0; rank < distinct.size(); ++rank) {
        ranks.slotOf(distinct[rank], slot);
        ranks.value(slot) = static_cast<int64_t>(rank);
    }
    for (int part = 0; part < parts; ++part) {
        counts[part].forEach([&](uint32_t w, int64_t n) { starts[part][ranks.valueOf(w)] = n; });
    }
    int64_t next = 0;
    for (size_t rank = 0; rank < distinct.size(); ++rank) {
        for (int part = 0; part < parts; ++part) next += std::exchange(starts[part][rank], next);
    }
    runInParts(parts, count, [&](int part, int64_t begin, int64_t end) {
        int64_t* position = starts[part].data();
        for (int64_t i = begin; i < end; ++i) {
            scratch[position[ranks.valueOf(weightBits(keys[i]))]++] = keys[i];
        }
    });
    return scratch;
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

int64_t buildEdgeKeys(const float* c0, const float* c1, const float* c2, int32_t width,
                      int32_t height, EdgeKey* keys) {
    if (width <= 0 || height <= 0) return 0;
    const Planes planes{c0, c1, c2};
    const int64_t count = edgesBeforeRow(width, height, height);
    runInParts(std::min<int>(partsFor(count), height), height,
               [&](int, int64_t begin, int64_t end) {
                   EdgeKey* out = keys + edgesBeforeRow(width, height, begin);
                   for (int64_t y = begin; y < end; ++y) {
                       out = rowKeys(planes, width, static_cast<int32_t>(y), y > 0, y < height - 1, out);
                   }
               });
    return count;
}

EdgeKey* sortEdgeKeys(EdgeKey* keys, EdgeKey* scratch, int64_t count) {
    if (count < 2) return keys;
    const int parts = partsFor(count);
    EdgeKey* sorted = sortByDistinctWeights(keys, scratch, count, parts);
    return sorted != nullptr ? sorted : radixSort(keys, scratch, count, parts);
}

}  // namespace segmora
