#include "merge_hierarchy.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "grid_edges.h"
#include "key_sort.h"
#include "merge_prefetch.h"
#include "label_matrix.h"
#include "parallel.h"

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

// How many unions ahead a replay fetches the pixels' links.
constexpr int64_t kReplayAhead = 16;

// Replays into `forest` (its memory reused, `pixels` elements) the unions of `log` that may
// not be taken back (the unmarked ones): the finest superpixels.
void replayUnions(const UnionLog& log, SegmentForest& forest, int32_t pixels, int32_t width) {
    for (int32_t p = 0; p < pixels; ++p) {
        forest.parent[p] = p;
        forest.data[p].size = 1;
    }
    const NeighbourOffsets neighbours(width);
    const int64_t unions = log.count;
    for (int64_t k = 0; k < unions; ++k) {
        if (k + 2 * kReplayAhead < unions) {  // the unions come in weight order, all over
            prefetchLinks(forest.parent, log.edges[k + 2 * kReplayAhead], neighbours);
            prefetchLinked(forest.parent, forest.data, log.edges[k + kReplayAhead], neighbours);
        }
        if (log.isBothLarge(k)) continue;
        const uint32_t edge = log.edges[k];
        forest.uniteRoots(forest.findRoot(edgeFirstVertex(edge)),
                          forest.findRoot(edgeSecondVertex(edge, neighbours)));
    }
}

// Numbers the parts of `forest` first + 0, first + 1, ... in raster order of first pixels
// into `into` (which may be `labels`), `outside` where the label is 0; returns their count.
int32_t numberParts(SegmentForest& forest, const int32_t* labels, int32_t pixels, int32_t first,
                    int32_t outside, int32_t* into) {
    SegmentData* data = forest.data;
    int32_t count = 0;
    for (int32_t p = 0; p < pixels; ++p) {
        if (labels[p] == 0) {  // in no superpixel
            into[p] = outside;
            continue;
        }
        const int32_t root = forest.findRoot(p);
        if (data[root].size > 0) data[root].size = -(++count);
        into[p] = first - 1 - data[root].size;
    }
    return count;
}

// The finer counts apply the marked unions (the run's unions that may be taken back) in the
// order of their keys (key, place in the run's order), smallest first: the key is the
// reduced size |A| |B| / (|A| + |B|) of the two parts a union joins, in pixels, the parts as
// the run's order joins them starting from the finest superpixels. Read from the default
// level down, the finer counts first split the parts whose two halves are both large.
// `joins`: the two finest parts of each (0 .. sizes.size() - 1), `sizes`: their pixels. Any
// order of these unions gives exact, nested counts and the run's own superpixels at the
// default count.
std::vector<std::pair<double, size_t>> finerKeys(
    const std::vector<std::pair<int32_t, int32_t>>& joins, std::vector<int32_t> sizes) {
    PlainForest forest(static_cast<int32_t>(sizes.size()));
    forest.size = std::move(sizes);
    std::vector<std::pair<double, size_t>> keys;  // (key, place in the run)
    keys.reserve(joins.size());
    for (size_t k = 0; k < joins.size(); ++k) {
        const int32_t ra = forest.find(joins[k].first), rb = forest.find(joins[k].second);
        const double sa = forest.size[ra], sb = forest.size[rb];
        keys.emplace_back(sa * sb / (sa + sb), k);
        forest.unite(ra, rb);
    }
    return keys;
}

// Puts the steps up to the default level, made in the run's order, in the order of their
// finerKeys.
void orderFinerSteps(std::vector<HierarchyStep>& steps, const int32_t* finest, int32_t pixels,
                     int32_t finestCount) {
    std::vector<int32_t> sizes(static_cast<size_t>(finestCount), 0);
    for (int32_t p = 0; p < pixels; ++p) {
        if (finest[p] >= 0) ++sizes[finest[p]];
    }
    std::vector<std::pair<int32_t, int32_t>> joins;
    joins.reserve(steps.size());
    for (const HierarchyStep& step : steps) joins.emplace_back(step.a, step.b);
    std::vector<std::pair<double, size_t>> keys = finerKeys(joins, std::move(sizes));
    std::sort(keys.begin(), keys.end());
    std::vector<HierarchyStep> ordered;
    ordered.reserve(steps.size());
    for (const auto& key : keys) ordered.push_back(steps[key.second]);
    steps = std::move(ordered);
}

// The forest of a run's finer count: every union of the log but the last `dropped` marked
// ones in the order of finerKeys. `forest` holds the unmarked unions' replay; the marked ones are found
// between its roots, which are numbered in passing (a root's size is -(number + 1) until the
// sizes are put back), ordered over those roots alone, and the kept ones added.
void addKeptMarkedUnions(const UnionLog& log, SegmentForest& forest, int32_t width,
                         int64_t dropped) {
    const NeighbourOffsets neighbours(width);
    SegmentData* data = forest.data;
    std::vector<int32_t> roots, sizes;
    std::vector<std::pair<int32_t, int32_t>> joins;
    joins.reserve(static_cast<size_t>(log.largeCount));
    const auto part = [&](int32_t pixel) {
        const int32_t root = forest.findRoot(pixel);
        if (data[root].size > 0) {
            sizes.push_back(data[root].size);
            data[root].size = -static_cast<int32_t>(roots.size()) - 1;
            roots.push_back(root);
        }
        return -data[root].size - 1;
    };
    for (int64_t k = 0; k < log.count; ++k) {
        if (!log.isBothLarge(k)) continue;
        const uint32_t edge = log.edges[k];
        joins.emplace_back(part(edgeFirstVertex(edge)), part(edgeSecondVertex(edge, neighbours)));
    }
    for (size_t k = 0; k < roots.size(); ++k) data[roots[k]].size = sizes[k];
    std::vector<std::pair<double, size_t>> keys = finerKeys(joins, std::move(sizes));
    const size_t kept = keys.size() - static_cast<size_t>(dropped);
    std::nth_element(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(kept), keys.end());
    for (size_t k = 0; k < kept; ++k) {
        const auto& [a, b] = joins[keys[k].second];
        forest.uniteRoots(forest.findRoot(roots[a]), forest.findRoot(roots[b]));
    }
}

// The label (1, 2, ...) of each of n parts after the first `steps` steps, in order of their
// lowest-numbered member: the raster order of first pixels when the parts are numbered so.
std::vector<int32_t> labelsAfterSteps(int32_t n, const std::vector<HierarchyStep>& steps,
                                      size_t stepCount) {
    PlainForest forest(n);
    for (size_t k = 0; k < stepCount; ++k) {
        const int32_t ra = forest.find(steps[k].a), rb = forest.find(steps[k].b);
        if (ra != rb) forest.unite(ra, rb);
    }
    std::vector<int32_t>& labelOfRoot = forest.size;
    std::fill(labelOfRoot.begin(), labelOfRoot.end(), 0);
    std::vector<int32_t> labelOf(static_cast<size_t>(n));
    int32_t next = 0;
    for (int32_t id = 0; id < n; ++id) {
        int32_t& label = labelOfRoot[forest.find(id)];
        if (label == 0) label = ++next;
        labelOf[id] = label;
    }
    return labelOf;
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

    // Adds the merges to `steps`, at most `most` of them.
    void run(std::vector<HierarchyStep>& steps, size_t most = SIZE_MAX) {
        for (size_t made = 0; made < most && !heap.empty();) {
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
            ++made;
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

namespace {

// Each superpixel's pixel count.
std::vector<int64_t> superpixelSizes(const int32_t* labels, int32_t pixels, int32_t count) {
    std::vector<int64_t> size(static_cast<size_t>(count), 0);
    for (int32_t p = 0; p < pixels; ++p) {
        if (labels[p] > 0) ++size[labels[p] - 1];
    }
    return size;
}

// The steps of the hierarchy of a run whose finest superpixels are numbered in `h`: the
// unions that may be taken back, then the coarser merges.
void addSteps(const UnionLog& log, const std::vector<float>& weights, const int32_t* labels,
              int32_t count, const std::vector<TouchingPair>& pairs,
              const std::vector<int32_t>& regions, MergeHierarchy& h) {
    const int32_t pixels = h.width * h.height;
    const int32_t* finest = h.finest.ptr<int32_t>();
    DefaultParts parts{superpixelSizes(labels, pixels, count), std::vector<int32_t>(count, -1)};
    for (int32_t p = 0; p < pixels; ++p) {
        const int32_t part = labels[p] - 1;
        if (part >= 0 && parts.finest[part] < 0) parts.finest[part] = finest[p];
    }
    const NeighbourOffsets neighbours(h.width);
    h.steps.reserve(weights.size() + pairs.size() / 2);
    for (int64_t k = 0; k < log.count; ++k) {
        const uint32_t edge = log.edges[k];
        if (log.isBothLarge(k)) {
            h.steps.push_back({finest[edgeFirstVertex(edge)],
                               finest[edgeSecondVertex(edge, neighbours)],
                               weights[h.steps.size()]});
        }
    }
    if (h.finestCount - static_cast<int32_t>(h.steps.size()) != count ||
        h.steps.size() != weights.size()) {
        throw std::logic_error("the run's unions do not make its superpixels");
    }
    orderFinerSteps(h.steps, finest, pixels, h.finestCount);
    CoarserMerges(parts, pairs, regions).run(h.steps);
    h.coarsestCount = h.finestCount - static_cast<int32_t>(h.steps.size());
}

}  // namespace

void recordHierarchy(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                     const int32_t* labels, int32_t count, int32_t width, int32_t height,
                     const int32_t* regions, const Workspace& workspace, MergeHierarchy& into) {
    const int32_t pixels = width * height;
    const std::vector<int32_t> parts = superpixelRegions(forest, labels, pixels, count, regions);
    MergeHierarchy h;
    h.width = width;
    h.height = height;
    h.defaultCount = count;
    std::vector<float> weights;
    std::vector<TouchingPair> pairs;
    // The replay of the unions that may not be taken back reads the log into the forest, the
    // pairs the graph: two threads. The finest superpixels are their parts, numbered in
    // raster order of first pixels once the graph has made room.
    runInParts(std::min(workspace.threads, 2), 2, [&](int, int64_t begin, int64_t end) {
        for (int64_t job = begin; job < end; ++job) {
            if (job == 0) {
                replayUnions(log, forest, pixels, width);
            } else {
                pairs = touchingPairs(graph, labels, count, &log, &weights);
            }
        }
    });
    LargeBuffer none;
    h.finest = labelMatrixIn(workspace.labelsInSpentEdges ? graph.edges : none, height, width);
    graph = SortedGraph();
    h.finestCount = numberParts(forest, labels, pixels, 0, -1, h.finest.ptr<int32_t>());
    forest = SegmentForest();
    addSteps(log, weights, labels, count, pairs, parts, h);
    into = std::move(h);
}

void checkCountInRange(int32_t coarsest, int32_t finest, int32_t count) {
    if (count < coarsest || count > finest) {
        throw std::invalid_argument("count must be from " + std::to_string(coarsest) + " to " +
                                    std::to_string(finest) +
                                    " for this photo and these knobs, not " +
                                    std::to_string(count));
    }
}

void cutRecordedRun(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                    int32_t* labels, int32_t count, int32_t width, int32_t height,
                    const int32_t* regions, int32_t wanted) {
    const int32_t pixels = width * height;
    const int64_t large = log.largeCount;
    const int32_t finest = count + static_cast<int32_t>(large);
    if (wanted == count) return;
    if (wanted > count && wanted <= finest) {  // take back the last wanted - count of them
        replayUnions(log, forest, pixels, width);
        addKeptMarkedUnions(log, forest, width, wanted - count);
        numberParts(forest, labels, pixels, 1, 0, labels);
        return;
    }
    // Coarser, or outside the range: the coarser merges tell the coarsest count.
    DefaultParts parts{superpixelSizes(labels, pixels, count), std::vector<int32_t>(count)};
    std::iota(parts.finest.begin(), parts.finest.end(), 0);
    const std::vector<int32_t> partRegions =
        superpixelRegions(forest, labels, pixels, count, regions);
    forest = SegmentForest();
    std::vector<TouchingPair> pairs = touchingPairs(graph, labels, count);
    graph = SortedGraph();
    std::vector<HierarchyStep> steps;
    const size_t most = wanted < count ? static_cast<size_t>(count - wanted) : SIZE_MAX;
    CoarserMerges(parts, pairs, partRegions).run(steps, most);
    pairs = {};
    checkCountInRange(count - static_cast<int32_t>(steps.size()), finest, wanted);
    const std::vector<int32_t> labelOf = labelsAfterSteps(count, steps, steps.size());
    for (int32_t p = 0; p < pixels; ++p) {
        if (labels[p] > 0) labels[p] = labelOf[labels[p] - 1];
    }
}

LargeBuffer spentForCut(UnionLog& log, SortedGraph& graph, int32_t count, int32_t wanted) {
    if (wanted > count && wanted <= count + log.largeCount) return std::move(graph.edges);
    if (wanted < count) return log.release();
    return LargeBuffer();
}

void leaveHierarchy(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                    Segmentation& result, const int32_t* regions, const Workspace& workspace) {
    int32_t* labels = result.labels.ptr<int32_t>();
    const int32_t width = result.labels.cols, height = result.labels.rows;
    if (workspace.hierarchy != nullptr) {
        recordHierarchy(log, forest, graph, labels, result.count, width, height, regions,
                        workspace, *workspace.hierarchy);
        return;
    }
    cutRecordedRun(log, forest, graph, labels, result.count, width, height, regions,
                   workspace.cutCount);
    result.count = workspace.cutCount;
}

void cutHierarchy(const MergeHierarchy& hierarchy, int32_t count, int32_t* labels) {
    // Finest superpixels are numbered in raster order of first pixels, so the first of a
    // part is its lowest-numbered one's.
    const std::vector<int32_t> labelOf = labelsAfterSteps(
        hierarchy.finestCount, hierarchy.steps, static_cast<size_t>(hierarchy.finestCount - count));
    const size_t pixels = hierarchy.finest.total();
    const int32_t* finest = hierarchy.finest.ptr<int32_t>();
    for (size_t p = 0; p < pixels; ++p) {
        const int32_t id = finest[p];
        labels[p] = id < 0 ? 0 : labelOf[id];
    }
}

}  // namespace segmora
