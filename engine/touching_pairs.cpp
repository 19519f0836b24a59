#include "touching_pairs.h"

#include <algorithm>

#include "grid_edges.h"

namespace segmora {

namespace {

// How many edges ahead the labels of an edge are fetched.
constexpr int64_t kFetchAhead = 32;

// Open addressing from a pair's key (a << 32 | b) to its place in the pairs; grows at half
// full. Keys are never 0 (b > a >= 0).
class PairTable {
  public:
    explicit PairTable(int32_t count) { resize(std::max<size_t>(64, ceilPower(size_t(count) * 8))); }

    // The place of `key`, or `next` when it is new (then taken).
    size_t placeOf(uint64_t key, size_t next) {
        for (size_t at = slotFor(key);; at = (at + 1) & mask) {
            if (slots[at].key == key) return slots[at].place;
            if (slots[at].key == 0) {
                slots[at] = {key, next};
                if (++used * 2 > slots.size()) grow();
                return next;
            }
        }
    }

  private:
    struct Slot {
        uint64_t key;
        size_t place;
    };
    static size_t ceilPower(size_t n) {
        size_t p = 1;
        while (p < n) p *= 2;
        return p;
    }
    size_t slotFor(uint64_t key) const {
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift);
    }
    void resize(size_t size) {
        slots.assign(size, Slot{0, 0});
        mask = size - 1;
        shift = 64 - __builtin_ctzll(size);
    }
    void grow() {
        std::vector<Slot> old;
        old.swap(slots);
        resize(old.size() * 2);
        for (const Slot& slot : old) {
            if (slot.key == 0) continue;
            size_t at = slotFor(slot.key);
            while (slots[at].key != 0) at = (at + 1) & mask;
            slots[at] = slot;
        }
    }

    std::vector<Slot> slots;
    size_t mask = 0;
    int shift = 0;
    size_t used = 0;
};

}  // namespace

std::vector<TouchingPair> touchingPairs(const SortedGraph& graph, const int32_t* labels,
                                        int32_t count, const UnionLog* log,
                                        std::vector<float>* largeWeights) {
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    std::vector<TouchingPair> pairs;
    PairTable table(count);
    const WeightRun* run = sorted.runs;
    const int64_t fetchedUpTo = sorted.count - kFetchAhead;
    const int64_t unions = log != nullptr ? log->mergeUnions : 0;
    int64_t k = 0;  // the next merge union
    for (int64_t i = 0; i < sorted.count; ++i) {
        if (i < fetchedUpTo) {
            const uint32_t ahead = sorted.edges[i + kFetchAhead];
            __builtin_prefetch(&labels[edgeFirstVertex(ahead)]);
            __builtin_prefetch(&labels[edgeSecondVertex(ahead, neighbours)]);
        }
        const uint32_t edge = sorted.edges[i];
        int32_t a = labels[edgeFirstVertex(edge)] - 1;
        int32_t b = labels[edgeSecondVertex(edge, neighbours)] - 1;
        if (a == b) {
            if (k < unions && log->edges[k] == edge) {
                if (log->isBothLarge(k)) {
                    while (run->end <= i) ++run;
                    largeWeights->push_back(run->weight);
                }
                ++k;
            }
            continue;
        }
        if (a < 0 || b < 0) continue;
        while (run->end <= i) ++run;
        if (a > b) std::swap(a, b);
        const size_t at = table.placeOf((uint64_t(uint32_t(a)) << 32) | uint32_t(b), pairs.size());
        if (at == pairs.size()) pairs.push_back({a, b, run->weight, edge, 0.0, 0});
        pairs[at].weightSum += run->weight;
        ++pairs[at].edges;
    }
    return pairs;
}

}  // namespace segmora
