#include "pair_counts.h"

#include <algorithm>

namespace segmora {

namespace {

size_t slotOf(uint64_t key, size_t mask) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

}  // namespace

PairCounts::PairCounts(size_t expectedPairs) {
    size_t capacity = 64;
    while (capacity < 2 * expectedPairs) capacity *= 2;
    keys.assign(capacity, 0);
    values.assign(capacity, 0);
}

void PairCounts::settlePending() {
    if (pendingKey == 0) return;
    const size_t mask = keys.size() - 1;
    size_t slot = slotOf(pendingKey, mask);
    while (keys[slot] != 0 && keys[slot] != pendingKey) slot = (slot + 1) & mask;
    if (keys[slot] == 0) {
        keys[slot] = pendingKey;
        ++used;
    }
    values[slot] += pendingCount;
    pendingKey = 0;
    pendingCount = 0;
    if (2 * used > keys.size()) grow();
}

void PairCounts::grow() {
    std::vector<uint64_t> oldKeys(2 * keys.size(), 0);
    std::vector<int64_t> oldValues(2 * values.size(), 0);
    oldKeys.swap(keys);
    oldValues.swap(values);
    const size_t mask = keys.size() - 1;
    for (size_t i = 0; i < oldKeys.size(); ++i) {
        if (oldKeys[i] == 0) continue;
        size_t slot = slotOf(oldKeys[i], mask);
        while (keys[slot] != 0) slot = (slot + 1) & mask;
        keys[slot] = oldKeys[i];
        values[slot] = oldValues[i];
    }
}

// A counting sort on the first label, then each first label's pairs by the second.
void PairCounts::takeSorted(int labelCount, std::vector<int>& first, std::vector<int>& second,
                            std::vector<int64_t>& counts) {
    settlePending();
    std::vector<size_t> end(static_cast<size_t>(labelCount) + 2, 0);
    for (uint64_t key : keys) {
        if (key != 0) ++end[(key >> 32) + 1];
    }
    for (size_t a = 1; a < end.size(); ++a) end[a] += end[a - 1];
    struct Entry {
        int b;
        int64_t n;
    };
    std::vector<Entry> entries(used);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != 0) {
            entries[end[keys[i] >> 32]++] = {static_cast<int>(keys[i] & 0xFFFFFFFFu), values[i]};
        }
    }
    keys = std::vector<uint64_t>();
    values = std::vector<int64_t>();
    // end[a] is now where the pairs of a end and those of a + 1 begin.
    first.resize(used);
    second.resize(used);
    counts.resize(used);
    size_t begin = 0;
    for (size_t a = 1; a + 1 < end.size(); ++a) {
        std::sort(entries.begin() + begin, entries.begin() + end[a],
                  [](const Entry& x, const Entry& y) { return x.b < y.b; });
        for (size_t i = begin; i < end[a]; ++i) {
            first[i] = static_cast<int>(a);
            second[i] = entries[i].b;
            counts[i] = entries[i].n;
        }
        begin = end[a];
    }
    used = 0;
}

}  // namespace segmora
