#include "joined_segments.h"

#include <algorithm>
#include <utility>

namespace segmora {

void JoinedSegments::add(int64_t pixels, float limit, int32_t id, uint64_t first) {
    parent.push_back(parent.size());
    size.push_back(pixels);
    threshold.push_back(limit);
    region.push_back(id);
    firstPixel.push_back(first);
}

uint64_t JoinedSegments::unite(uint64_t x, uint64_t y) {
    if (size[x] > size[y]) std::swap(x, y);
    parent[x] = y;
    size[y] += size[x];
    firstPixel[y] = std::min(firstPixel[y], firstPixel[x]);
    return y;
}

void JoinedSegments::merge(uint64_t a, uint64_t b, float weight, float k, int64_t sizeCap) {
    const uint64_t ra = findRoot(a), rb = findRoot(b);
    if (ra == rb || !(weight <= threshold[ra]) || !(weight <= threshold[rb])) return;
    if (size[ra] + size[rb] > sizeCap || region[ra] != region[rb]) return;
    const uint64_t root = unite(ra, rb);
    threshold[root] = k / static_cast<float>(size[root]) + weight;
}

void JoinedSegments::absorb(uint64_t a, uint64_t b, int64_t minSize) {
    const uint64_t ra = findRoot(a), rb = findRoot(b);
    if (ra != rb && (size[ra] < minSize || size[rb] < minSize)) unite(ra, rb);
}

int64_t JoinedSegments::numbered(std::vector<int64_t>& labels) {
    std::vector<std::pair<uint64_t, uint64_t>> roots;  // first pixel, root
    for (uint64_t s = 0; s < parent.size(); ++s) {
        if (findRoot(s) == s) roots.emplace_back(firstPixel[s], s);
    }
    std::sort(roots.begin(), roots.end());
    std::vector<int64_t> labelOfRoot(parent.size(), 0);
    for (size_t r = 0; r < roots.size(); ++r) {
        labelOfRoot[roots[r].second] = static_cast<int64_t>(r) + 1;
    }
    labels.resize(parent.size());
    for (uint64_t s = 0; s < parent.size(); ++s) labels[s] = labelOfRoot[findRoot(s)];
    return static_cast<int64_t>(roots.size());
}

}  // namespace segmora
