#include "merge_hierarchy.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "grid_edges.h"
#include "key_sort.h"

namespace segmora {

namespace {

// Union by size with path halving over plain vectors: the replays of a log.
struct PlainForest {
    explicit PlainForest(int32_t count) : parent(static_cast<size_t>(count)), size(parent.size(), 1) {
        for (int32_t i = 0; i < count; ++i) parent[i] = i;
    }
    int32_t find(int32_t x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    }
    void unite(int32_t ra, int32_t rb) {  // distinct roots
        if (size[ra] > size[rb]) std::swap(ra, rb);
        parent[ra] = rb;
        size[rb] += size[ra];
    }
    std::vector<int32_t> parent;
    std::vector<int32_t> size;
};

struct DefaultParts {
    std::vector<int64_t> size;
    std::vector<int32_t> finest;  // the finest superpixel of its first pixel
};

// The finest superpixels: the parts of the unions that may not be taken back, numbered in
// raster order of first pixels; returns their count.
int32_t numberFinest(const UnionLog& log, const int32_t* labels, int32_t width, int32_t pixels,
                     std::vector<int32_t>& finest) {
    const NeighbourOffsets neighbours(width);
    PlainForest forest(pixels);
    for (size_t k = 0; k < log.unions.size(); ++k) {
        if (log.bothLarge[k]) continue;
        const uint32_t edge = log.unions[k].edge;
        forest.unite(forest.find(edgeFirstVertex(edge)),
                     forest.find(edgeSecondVertex(edge, neighbours)));
    }
    finest.assign(static_cast<size_t>(pixels), -1);
    std::vector<int32_t>& idOfRoot = forest.size;  // reused: -1 until numbered
    std::fill(idOfRoot.begin(), idOfRoot.end(), -1);
    int32_t count = 0;
    for (int32_t p = 0; p < pixels; ++p) {
        if (labels[p] == 0) continue;  // in no superpixel
        int32_t& id = idOfRoot[forest.find(p)];
        if (id < 0) id = count++;
        finest[p] = id;
    }
    return count;
}

// Orders the merges below the default level, which take the finest superpixels back to the
// run's, so that the finer counts first split the parts whose two halves are both large: by
// the pair's reduced size |A| |B| / (|A| + |B|), in pixels, with the parts as the run's
// order joins them; ties in the run's order. Any order of these merges gives exact, nested
// counts and the run's own superpixels at the default count.
void orderFinerSteps(std::vector<HierarchyStep>& steps, const std::vector<int32_t>& finest,
                     int32_t finestCount) {
    PlainForest forest(finestCount);
    std::fill(forest.size.begin(), forest.size.end(), 0);
    for (const int32_t id : finest) {
        if (id >= 0) ++forest.size[id];
    }
    std::vector<std::pair<double, size_t>> order;  // (key, place in the run)
    order.reserve(steps.size());
    for (size_t k = 0; k < steps.size(); ++k) {
        const int32_t ra = forest.find(steps[k].a), rb = forest.find(steps[k].b);
        const double sa = forest.size[ra], sb = forest.size[rb];
        order.emplace_back(sa * sb / (sa + sb), k);
        forest.unite(ra, rb);
    }
    std::sort(order.begin(), order.end());
    std::vector<HierarchyStep> sorted;
    sorted.reserve(steps.size());
    for (const auto& entry : order) sorted.push_back(steps[entry.second]);
    steps = std::move(sorted);
}

// The merges above the default level: always the pair of touching parts (of one region)
// of least cost (see need()), ties by the lightest edge's key. A heap of pairs, refreshed
// lazily: a part only grows, which never lowers the cost of a pair whose border is
// unchanged, so an entry's cost stays a lower bound and is recomputed when it comes up;
// the pairs whose border changes in a join are pushed anew.
class CoarserMerges {
  public:
    CoarserMerges(DefaultParts& parts, const std::vector<TouchingPair>& pairs,
                  const std::vector<int32_t>& regions)
        : parts(parts), links(parts.size.size()) {
        for (const TouchingPair& pair : pairs) {
            if (!regions.empty() && regions[pair.a] != regions[pair.b]) continue;
            const Link link{makeEdgeKey(pair.weight, pair.edge), pair.weightSum, pair.edges};
            links[pair.a][pair.b] = link;
            links[pair.b][pair.a] = link;
            push(pair.a, pair.b, link);
        }
    }

    void run(std::vector<HierarchyStep>& steps) {
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), Later());
            const Entry entry = heap.back();
            heap.pop_back();
            const auto at = links[entry.a].find(entry.b);
            if (at == links[entry.a].end()) continue;  // a part is gone
            const double n = need(entry.a, entry.b, at->second);
            if (n != entry.need || at->second.key != entry.key) {
                if (n > entry.need) push(entry.a, entry.b, at->second);  // else a newer one is in
                continue;
            }
            steps.push_back({parts.finest[entry.a], parts.finest[entry.b], keyWeight(entry.key)});
            join(entry.a, entry.b);
        }
    }

  private:
    struct Link {
        EdgeKey key;  // the lightest edge's
        double weightSum;
        int64_t edges;
    };
    struct Entry {
        double need;
        EdgeKey key;
        int32_t a, b;  // a < b
    };
    struct Later {
        bool operator()(const Entry& x, const Entry& y) const {
            if (x.need != y.need) return x.need > y.need;
            return x.key > y.key;
        }
    };

    // The cost of a merge: the mean weight along the border times the pair's reduced size
    // |A| |B| / (|A| + |B|), so that large parts do not swallow their neighbours one by one.
    double need(int32_t a, int32_t b, const Link& link) const {
        const double sa = static_cast<double>(parts.size[a]);
        const double sb = static_cast<double>(parts.size[b]);
        return link.weightSum / static_cast<double>(link.edges) * (sa * sb / (sa + sb));
    }

    void push(int32_t a, int32_t b, const Link& link) {
        if (a > b) std::swap(a, b);
        heap.push_back({need(a, b, link), link.key, a, b});
        std::push_heap(heap.begin(), heap.end(), Later());
    }

    // Joins a and b into whichever has more links (a on a tie, the lower number).
    void join(int32_t a, int32_t b) {
        if (links[a].size() < links[b].size()) std::swap(a, b);
        parts.size[a] += parts.size[b];
        links[a].erase(b);
        for (const auto& [other, link] : links[b]) {
            if (other == a) continue;
            links[other].erase(b);
            auto [at, added] = links[a].emplace(other, link);
            if (!added) {
                at->second.key = std::min(at->second.key, link.key);
                at->second.weightSum += link.weightSum;
                at->second.edges += link.edges;
            }
            links[other][a] = at->second;
            push(a, other, at->second);
        }
        links[b] = {};
    }

    DefaultParts& parts;
    std::vector<std::unordered_map<int32_t, Link>> links;
    std::vector<Entry> heap;
};

}  // namespace

std::vector<TouchingPair> touchingPairs(const SortedGraph& graph, const int32_t* labels) {
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    std::vector<TouchingPair> pairs;
    std::unordered_map<uint64_t, size_t> seen;
    seen.reserve(static_cast<size_t>(sorted.count / 64) + 16);
    const WeightRun* run = sorted.runs;
    for (int64_t i = 0; i < sorted.count; ++i) {
        while (run->end <= i) ++run;
        const uint32_t edge = sorted.edges[i];
        int32_t a = labels[edgeFirstVertex(edge)] - 1;
        int32_t b = labels[edgeSecondVertex(edge, neighbours)] - 1;
        if (a == b || a < 0 || b < 0) continue;
        if (a > b) std::swap(a, b);
        const auto [at, added] =
            seen.emplace((uint64_t(uint32_t(a)) << 32) | uint32_t(b), pairs.size());
        if (added) pairs.push_back({a, b, run->weight, edge, 0.0, 0});
        pairs[at->second].weightSum += run->weight;
        ++pairs[at->second].edges;
    }
    return pairs;
}

std::vector<int32_t> superpixelRegions(SegmentForest& forest, const int32_t* labels,
                                       int32_t pixels, int32_t count, const int32_t* regions) {
    std::vector<int32_t> of;
    if (regions == nullptr) return of;
    of.resize(static_cast<size_t>(count));
    for (int32_t p = 0; p < pixels; ++p) {
        if (forest.parent[p] == p && labels[p] > 0) of[labels[p] - 1] = regions[p];
    }
    return of;
}

MergeHierarchy buildHierarchy(const UnionLog& log, const int32_t* labels, int32_t count,
                              int32_t width, int32_t height, const std::vector<TouchingPair>& pairs,
                              const std::vector<int32_t>& regions) {
    MergeHierarchy h;
    h.width = width;
    h.height = height;
    h.defaultCount = count;
    const int32_t pixels = width * height;
    h.finestCount = numberFinest(log, labels, width, pixels, h.finest);
    DefaultParts parts{std::vector<int64_t>(count, 0), std::vector<int32_t>(count, -1)};
    for (int32_t p = 0; p < pixels; ++p) {
        const int32_t part = labels[p] - 1;
        if (part < 0) continue;
        ++parts.size[part];
        if (parts.finest[part] < 0) parts.finest[part] = h.finest[p];
    }
    const NeighbourOffsets neighbours(width);
    for (size_t k = 0; k < log.unions.size(); ++k) {
        const RecordedUnion& u = log.unions[k];
        const int32_t a = edgeFirstVertex(u.edge);
        if (log.bothLarge[k]) {
            h.steps.push_back({h.finest[a], h.finest[edgeSecondVertex(u.edge, neighbours)], u.weight});
        }
    }
    if (h.finestCount - static_cast<int32_t>(h.steps.size()) != count) {
        throw std::logic_error("the run's unions do not make its superpixels");
    }
    orderFinerSteps(h.steps, h.finest, h.finestCount);
    CoarserMerges(parts, pairs, regions).run(h.steps);
    h.coarsestCount = h.finestCount - static_cast<int32_t>(h.steps.size());
    return h;
}

void recordHierarchy(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                     const int32_t* labels, int32_t count, int32_t width, int32_t height,
                     const int32_t* regions, MergeHierarchy& into) {
    const int32_t pixels = width * height;
    const std::vector<int32_t> parts = superpixelRegions(forest, labels, pixels, count, regions);
    forest = SegmentForest();
    const std::vector<TouchingPair> pairs = touchingPairs(graph, labels);
    graph = SortedGraph();
    into = buildHierarchy(log, labels, count, width, height, pairs, parts);
}

void cutHierarchy(const MergeHierarchy& hierarchy, int32_t count, int32_t* labels) {
    PlainForest forest(hierarchy.finestCount);
    const int32_t steps = hierarchy.finestCount - count;
    for (int32_t k = 0; k < steps; ++k) {
        const HierarchyStep& step = hierarchy.steps[k];
        const int32_t ra = forest.find(step.a), rb = forest.find(step.b);
        if (ra != rb) forest.unite(ra, rb);
    }
    // Finest superpixels are numbered in raster order of first pixels, so the first of a
    // part is its lowest-numbered one's.
    std::vector<int32_t>& labelOfRoot = forest.size;
    std::fill(labelOfRoot.begin(), labelOfRoot.end(), 0);
    std::vector<int32_t> labelOf(static_cast<size_t>(hierarchy.finestCount));
    int32_t next = 0;
    for (int32_t id = 0; id < hierarchy.finestCount; ++id) {
        int32_t& label = labelOfRoot[forest.find(id)];
        if (label == 0) label = ++next;
        labelOf[id] = label;
    }
    const size_t pixels = hierarchy.finest.size();
    for (size_t p = 0; p < pixels; ++p) {
        const int32_t id = hierarchy.finest[p];
        labels[p] = id < 0 ? 0 : labelOf[id];
    }
}

}  // namespace segmora
