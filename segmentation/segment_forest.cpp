#include "segment_forest.h"

namespace segmora {

namespace {

// How many keys ahead the forest entries of an edge are fetched.
constexpr int64_t kPrefetchDistance = 24;

}  // namespace

SegmentForest::SegmentForest(SegmentNode* nodes, int32_t count, float threshold)
    : nodes(nodes), setCount(count) {
    for (int32_t i = 0; i < count; ++i) nodes[i] = SegmentNode{i, 1, threshold, 0};
}

void mergeSegments(SegmentForest& forest, const EdgeKey* keys, int64_t count,
                   const NeighbourOffsets& neighbours, const MergeRules& rules) {
    SegmentNode* nodes = forest.nodes;
    for (int64_t i = 0; i < count; ++i) {
        // Fetch the entries of an edge far ahead, and their parents (by
        // then in cache) a little nearer: most roots are one link away.
        if (i + 2 * kPrefetchDistance < count) {
            const EdgeKey far = keys[i + 2 * kPrefetchDistance];
            forest.prefetch(keyFirstVertex(far));
            forest.prefetch(keySecondVertex(far, neighbours));
        }
        if (i + kPrefetchDistance < count) {
            const EdgeKey near = keys[i + kPrefetchDistance];
            forest.prefetch(nodes[keyFirstVertex(near)].parent);
            forest.prefetch(nodes[keySecondVertex(near, neighbours)].parent);
        }
        const EdgeKey key = keys[i];
        const int32_t ra = forest.findRoot(keyFirstVertex(key));
        const int32_t rb = forest.findRoot(keySecondVertex(key, neighbours));
        if (ra == rb) continue;
        const float weight = keyWeight(key);
        if (!(weight <= nodes[ra].threshold) || !(weight <= nodes[rb].threshold)) continue;
        if (nodes[ra].size + nodes[rb].size > rules.sizeCap) continue;
        if (rules.regions != nullptr && rules.regions[ra] != rules.regions[rb]) continue;
        const int32_t root = forest.uniteRoots(ra, rb);
        nodes[root].threshold = rules.threshold / static_cast<float>(nodes[root].size) + weight;
    }
}

namespace {

bool isMarked(const uint64_t* bits, int32_t v) { return (bits[v >> 6] >> (v & 63)) & 1; }

// Marks the pixels whose segment is below `minSize`, pointing every pixel
// straight at its root on the way.
void markSmallSegments(SegmentForest& forest, int32_t pixelCount, int32_t minSize, uint64_t* bits) {
    for (int32_t word = 0; word < (pixelCount + 63) / 64; ++word) bits[word] = 0;
    for (int32_t v = 0; v < pixelCount; ++v) {
        const int32_t root = forest.findRoot(v);
        forest.nodes[v].parent = root;
        if (forest.nodes[root].size < minSize) bits[v >> 6] |= uint64_t{1} << (v & 63);
    }
}

}  // namespace

void absorbSmallSegments(SegmentForest& forest, int32_t pixelCount, const EdgeKey* keys,
                         int64_t count, const NeighbourOffsets& neighbours, int32_t minSize,
                         uint64_t* smallScratch) {
    markSmallSegments(forest, pixelCount, minSize, smallScratch);
    SegmentNode* nodes = forest.nodes;
    for (int64_t i = 0; i < count; ++i) {
        // A segment of minSize or more only grows, so an edge between two
        // pixels that both started in such segments can never merge.
        const int32_t a = keyFirstVertex(keys[i]);
        const int32_t b = keySecondVertex(keys[i], neighbours);
        if (!isMarked(smallScratch, a) && !isMarked(smallScratch, b)) continue;
        const int32_t ra = forest.findRoot(a);
        const int32_t rb = forest.findRoot(b);
        if (ra != rb && (nodes[ra].size < minSize || nodes[rb].size < minSize)) {
            forest.uniteRoots(ra, rb);
        }
    }
}

void numberSegments(SegmentForest& forest, int32_t* labels, int32_t pixelCount) {
    SegmentNode* nodes = forest.nodes;
    int32_t nextLabel = 1;
    for (int32_t v = 0; v < pixelCount; ++v) {
        const int32_t root = forest.findRoot(v);
        if (nodes[root].size > 0) nodes[root].size = -nextLabel++;
        labels[v] = -nodes[root].size;
    }
}

}  // namespace segmora
