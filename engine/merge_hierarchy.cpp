#include "merge_hierarchy.h"

#include <algorithm>
#include <queue>
#include <stdexcept>
#include <unordered_map>

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
    std::vector<float> heaviest;   // the heaviest union inside, 0 for none
    std::vector<int32_t> region;   // that of its largest piece before the clean-up
    std::vector<int32_t> finest;   // the finest superpixel of its first pixel
};

// Replays the log's unions: whether each may be taken back (both sets it joined held at
// least minSize pixels), and the regions of the default parts.
std::vector<bool> replay(const UnionLog& log, const int32_t* labels, int32_t width,
                         int32_t pixels, const int32_t* regions, int32_t minSize,
                         DefaultParts& parts) {
    const NeighbourOffsets neighbours(width);
    PlainForest forest(pixels);
    std::vector<bool> removable(log.unions.size());
    const auto unite = [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k) {
            const uint32_t edge = log.unions[k].edge;
            const int32_t ra = forest.find(edgeFirstVertex(edge));
            const int32_t rb = forest.find(edgeSecondVertex(edge, neighbours));
            removable[k] = std::min(forest.size[ra], forest.size[rb]) >= minSize;
            forest.unite(ra, rb);
        }
    };
    const size_t merged = static_cast<size_t>(log.mergeUnions);
    unite(0, merged);
    if (regions != nullptr) {
        std::vector<int32_t> largest(parts.size.size(), 0);
        for (int32_t p = 0; p < pixels; ++p) {
            const int32_t part = labels[p] - 1;
            const int32_t piece = forest.size[forest.find(p)];
            if (part < 0 || piece <= largest[part]) continue;
            largest[part] = piece;
            parts.region[part] = regions[p];
        }
    }
    unite(merged, log.unions.size());
    return removable;
}

// The finest superpixels: the parts of the unions that may not be taken back, numbered in
// raster order of first pixels; returns their count.
int32_t numberFinest(const UnionLog& log, const std::vector<bool>& removable, const int32_t* labels,
                     int32_t width, int32_t pixels, std::vector<int32_t>& finest) {
    const NeighbourOffsets neighbours(width);
    PlainForest forest(pixels);
    for (size_t k = 0; k < log.unions.size(); ++k) {
        if (removable[k]) continue;
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

// The merges above the default level: always the pair of touching parts (of one region)
// that the smallest threshold would merge, ties by edge key.
class CoarserMerges {
  public:
    CoarserMerges(DefaultParts& parts, const std::vector<TouchingPair>& pairs, bool withRegions)
        : parts(parts), links(parts.size.size()), version(parts.size.size(), 0) {
        for (const TouchingPair& pair : pairs) {
            if (withRegions && parts.region[pair.a] != parts.region[pair.b]) continue;
            const Link link{makeEdgeKey(pair.weight, pair.edge), pair.weight};
            links[pair.a][pair.b] = link;
            links[pair.b][pair.a] = link;
            push(pair.a, pair.b, link);
        }
    }

    void run(std::vector<HierarchyStep>& steps) {
        while (!candidates.empty()) {
            const Candidate top = candidates.top();
            candidates.pop();
            if (top.versionA != version[top.a] || top.versionB != version[top.b]) continue;
            steps.push_back({parts.finest[top.a], parts.finest[top.b], top.weight});
            join(top.a, top.b, top.weight);
        }
    }

  private:
    struct Link {
        EdgeKey key;
        float weight;
    };
    struct Candidate {
        double need;  // the smallest threshold that merges the pair
        EdgeKey key;
        int32_t a, b;
        uint32_t versionA, versionB;
        float weight;
        bool operator>(const Candidate& other) const {
            return need != other.need ? need > other.need : key > other.key;
        }
    };

    // The engine merges A and B across weight w when w <= heaviest + threshold / size
    // on both sides.
    double need(int32_t a, int32_t b, float weight) const {
        const double w = weight;
        return std::max(static_cast<double>(parts.size[a]) * (w - parts.heaviest[a]),
                        static_cast<double>(parts.size[b]) * (w - parts.heaviest[b]));
    }

    void push(int32_t a, int32_t b, const Link& link) {
        candidates.push({need(a, b, link.weight), link.key, a, b, version[a], version[b],
                         link.weight});
    }

    // Joins b into a or a into b, whichever has fewer neighbours moves.
    void join(int32_t a, int32_t b, float weight) {
        if (links[a].size() < links[b].size()) std::swap(a, b);
        parts.size[a] += parts.size[b];
        parts.heaviest[a] = std::max({parts.heaviest[a], parts.heaviest[b], weight});
        ++version[a];
        ++version[b];
        links[a].erase(b);
        for (const auto& [other, link] : links[b]) {
            if (other == a) continue;
            links[other].erase(b);
            auto [at, added] = links[a].emplace(other, link);
            if (!added && link.key < at->second.key) at->second = link;
            links[other][a] = at->second;
        }
        links[b] = {};
        for (const auto& [other, link] : links[a]) push(a, other, link);
    }

    DefaultParts& parts;
    std::vector<std::unordered_map<int32_t, Link>> links;
    std::vector<uint32_t> version;
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<Candidate>> candidates;
};

}  // namespace

std::vector<TouchingPair> touchingPairs(const SortedGraph& graph, const int32_t* labels) {
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    std::vector<TouchingPair> pairs;
    std::unordered_map<uint64_t, char> seen;
    const WeightRun* run = sorted.runs;
    for (int64_t i = 0; i < sorted.count; ++i) {
        while (run->end <= i) ++run;
        const uint32_t edge = sorted.edges[i];
        int32_t a = labels[edgeFirstVertex(edge)] - 1;
        int32_t b = labels[edgeSecondVertex(edge, neighbours)] - 1;
        if (a == b || a < 0 || b < 0) continue;
        if (a > b) std::swap(a, b);
        if (!seen.emplace((uint64_t(uint32_t(a)) << 32) | uint32_t(b), 0).second) continue;
        pairs.push_back({a, b, run->weight, edge});
    }
    return pairs;
}

MergeHierarchy buildHierarchy(const UnionLog& log, const int32_t* labels, int32_t count,
                              int32_t width, int32_t height, const std::vector<TouchingPair>& pairs,
                              const int32_t* regions, const Parameters& parameters) {
    MergeHierarchy h;
    h.width = width;
    h.height = height;
    h.defaultCount = count;
    const int32_t pixels = width * height;
    DefaultParts parts{std::vector<int64_t>(count, 0), std::vector<float>(count, 0.0f),
                       std::vector<int32_t>(count, 0), std::vector<int32_t>(count, -1)};
    const std::vector<bool> removable =
        replay(log, labels, width, pixels, regions, parameters.minSize, parts);
    h.finestCount = numberFinest(log, removable, labels, width, pixels, h.finest);
    for (int32_t p = 0; p < pixels; ++p) {
        const int32_t part = labels[p] - 1;
        if (part < 0) continue;
        ++parts.size[part];
        if (parts.finest[part] < 0) parts.finest[part] = h.finest[p];
    }
    for (const RecordedUnion& u : log.unions) {
        float& heaviest = parts.heaviest[labels[edgeFirstVertex(u.edge)] - 1];
        heaviest = std::max(heaviest, u.weight);
    }
    const NeighbourOffsets neighbours(width);
    for (size_t k = 0; k < log.unions.size(); ++k) {
        if (!removable[k]) continue;
        const RecordedUnion& u = log.unions[k];
        h.steps.push_back({h.finest[edgeFirstVertex(u.edge)],
                           h.finest[edgeSecondVertex(u.edge, neighbours)], u.weight});
    }
    if (h.finestCount - static_cast<int32_t>(h.steps.size()) != count) {
        throw std::logic_error("the run's unions do not make its superpixels");
    }
    CoarserMerges(parts, pairs, regions != nullptr).run(h.steps);
    h.coarsestCount = h.finestCount - static_cast<int32_t>(h.steps.size());
    return h;
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
