#include "joined_segments.h"

#include <algorithm>
#include <utility>

namespace segmora {

void JoinedSegments::reserve(uint64_t segments) {
    nodes.reserve(segments);
}

void JoinedSegments::add(int64_t pixels, float limit, int32_t id, uint64_t first) {
    nodes.push_back(Node{nodes.size(), pixels, limit, id, first});
}

uint64_t JoinedSegments::unite(uint64_t x, uint64_t y) {
    if (nodes[x].size > nodes[y].size) std::swap(x, y);
    nodes[x].parent = y;
    nodes[y].size += nodes[x].size;
    return y;
}

void JoinedSegments::merge(uint64_t a, uint64_t b, float weight, float k, int64_t sizeCap) {
    const uint64_t ra = findRoot(a), rb = findRoot(b);
    const Node& na = nodes[ra];
    const Node& nb = nodes[rb];
    if (ra == rb || !(weight <= na.threshold) || !(weight <= nb.threshold)) return;
    if (na.size + nb.size > sizeCap || na.region != nb.region) return;
    const uint64_t root = unite(ra, rb);
    nodes[root].threshold = k / static_cast<float>(nodes[root].size) + weight;
}

void JoinedSegments::absorb(uint64_t a, uint64_t b, int64_t minSize) {
    const uint64_t ra = findRoot(a), rb = findRoot(b);
    if (ra != rb && (nodes[ra].size < minSize || nodes[rb].size < minSize)) unite(ra, rb);
}

int64_t JoinedSegments::rankRoots() {
    for (uint64_t s = 0; s < nodes.size(); ++s) {  // each root's first pixel: the least of its own
        const uint64_t root = findRoot(s);
        nodes[root].firstPixel = std::min(nodes[root].firstPixel, nodes[s].firstPixel);
    }
    HugeVector<std::pair<uint64_t, uint64_t>> roots;  // first pixel, root
    for (uint64_t s = 0; s < nodes.size(); ++s) {
        if (nodes[s].parent == s) roots.emplace_back(nodes[s].firstPixel, s);
    }
    std::sort(roots.begin(), roots.end());
    for (size_t r = 0; r < roots.size(); ++r)
        nodes[roots[r].second].size = static_cast<int64_t>(r) + 1;
    return static_cast<int64_t>(roots.size());
}

}  // namespace segmora
