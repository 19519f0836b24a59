#include "tiled_merge.h"

#include <algorithm>
#include <vector>

#include "grid_edges.h"
#include "parallel.h"
#include "segment_merging.h"

namespace segmora {

namespace {

// n / d for 32-bit n by one multiplication (Lemire, Kaser and Kurz, 2019).
class Divisor {
  public:
    explicit Divisor(uint32_t d) : d(d), m(d > 1 ? UINT64_MAX / d + 1 : 0) {}
    uint32_t divide(uint32_t n) const {
        return d > 1 ? static_cast<uint32_t>((static_cast<__uint128_t>(m) * n) >> 64) : n;
    }

  private:
    uint32_t d;
    uint64_t m;
};

// Which tile a pixel lies in, tiles numbered row by row.
class TileGrid {
  public:
    TileGrid(int32_t width, int32_t height, TileShape tile)
        : width(width),
          columns((width + tile.width - 1) / tile.width),
          rows((height + tile.height - 1) / tile.height),
          rowDivisor(static_cast<uint32_t>(width)),
          columnTile(static_cast<size_t>(width)),
          rowTile(static_cast<size_t>(height)) {
        for (int32_t x = 0; x < width; ++x) columnTile[x] = x / tile.width;
        for (int32_t y = 0; y < height; ++y) rowTile[y] = y / tile.height * columns;
    }

    int32_t count() const { return columns * rows; }
    int32_t tileOf(int32_t pixel) const {
        const int32_t y = static_cast<int32_t>(rowDivisor.divide(static_cast<uint32_t>(pixel)));
        return rowTile[y] + columnTile[pixel - y * width];
    }

  private:
    int32_t width, columns, rows;
    Divisor rowDivisor;
    std::vector<int32_t> columnTile, rowTile;
};

// The merge rules as the one-piece merge applies them.
struct Rules {
    float threshold;
    int32_t sizeCap;
    const int32_t* regions;
    bool sameRegion(int32_t ra, int32_t rb) const {
        return regions == nullptr || regions[ra] == regions[rb];
    }
};

// One thread's share of the first pass: the tiles it owns, the edges it keeps
// for the second pass (their places in the sorted order, ascending) and how
// many merges it made. Threads touch only their own tiles' pixels.
struct TileWorker {
    int part;
    std::vector<uint32_t> kept;
    int64_t joined = 0;
    int64_t run = 0;  // the run of the edge where the worker is
};

// What the first pass shares: the forest, the tiles, and a mark on each root
// whose segment is unsettled (it may have grown outside its tile).
struct FirstPass {
    SegmentForest& forest;
    const SortedEdges sorted;
    const NeighbourOffsets neighbours;
    const TileGrid& grid;
    const std::vector<int32_t>& owner;  // the part that owns each tile
    const Rules rules;
    std::vector<uint8_t>& unsettled;

    // Decides the inner edge i (ends a, b) of a tile, or keeps it.
    void decide(TileWorker& worker, int64_t i, int32_t a, int32_t b, float weight) {
        const int32_t ra = forest.findRoot(a), rb = forest.findRoot(b);
        if (ra == rb) return;  // one segment in the whole photo too
        const SegmentData sa = forest.data[ra], sb = forest.data[rb];
        const bool settledA = unsettled[ra] == 0, settledB = unsettled[rb] == 0;
        // Sizes of unsettled segments can only have grown, and their region ids are their
        // pixels': each test below that fails fails in the whole photo too.
        if (sa.size + sb.size > rules.sizeCap || !rules.sameRegion(ra, rb)) return;
        if ((settledA && !(weight <= sa.threshold)) || (settledB && !(weight <= sb.threshold))) {
            return;
        }
        if (!settledA || !settledB) {
            unsettled[ra] = unsettled[rb] = 1;
            worker.kept.push_back(static_cast<uint32_t>(i));
            return;
        }
        const bool firstBelow = sa.size <= sb.size;
        const int32_t child = firstBelow ? ra : rb, root = firstBelow ? rb : ra;
        forest.parent[child] = root;
        const int32_t size = sa.size + sb.size;
        forest.data[root] = SegmentData{size, rules.threshold / static_cast<float>(size) + weight};
        ++worker.joined;
    }

    // The sorted edges [begin, end) that touch the worker's tiles.
    void visit(TileWorker& worker, int64_t begin, int64_t end) {
        const WeightRun* runs = sorted.runs;
        for (int64_t i = begin; i < end; ++i) {
            const uint32_t edge = sorted.edges[i];
            const int32_t a = edgeFirstVertex(edge), b = edgeSecondVertex(edge, neighbours);
            const int32_t ta = grid.tileOf(a), tb = grid.tileOf(b);
            const bool ownsA = owner[ta] == worker.part, ownsB = owner[tb] == worker.part;
            if (!ownsA && !ownsB) continue;
            if (ta != tb) {  // a seam edge: its ends' segments are unsettled from here on
                if (ownsA) {
                    unsettled[forest.findRoot(a)] = 1;
                    worker.kept.push_back(static_cast<uint32_t>(i));
                }
                if (ownsB) unsettled[forest.findRoot(b)] = 1;
                continue;
            }
            while (runs[worker.run].end <= i) ++worker.run;
            decide(worker, i, a, b, runs[worker.run].weight);
        }
    }
};

// The second pass: the kept and seam edges before `stop`, in sorted order,
// under the one-piece rules.
void mergeKeptEdges(SegmentForest& forest, const SortedGraph& graph, const Rules& rules,
                    const std::vector<TileWorker>& workers, int64_t stop) {
    std::vector<uint64_t> marks(static_cast<size_t>((stop + 63) / 64));
    for (const TileWorker& worker : workers) {
        for (const uint32_t i : worker.kept) marks[i >> 6] |= uint64_t{1} << (i & 63);
    }
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    SegmentData* data = forest.data;
    const WeightRun* run = sorted.runs;
    for (size_t word = 0; word < marks.size(); ++word) {
        for (uint64_t bits = marks[word]; bits != 0; bits &= bits - 1) {
            const int64_t i = static_cast<int64_t>(64 * word) + __builtin_ctzll(bits);
            while (run->end <= i) ++run;
            const uint32_t edge = sorted.edges[i];
            const int32_t ra = forest.findRoot(edgeFirstVertex(edge));
            const int32_t rb = forest.findRoot(edgeSecondVertex(edge, neighbours));
            if (ra == rb) continue;
            const float weight = run->weight;
            if (!(weight <= data[ra].threshold) || !(weight <= data[rb].threshold)) continue;
            if (data[ra].size + data[rb].size > rules.sizeCap || !rules.sameRegion(ra, rb)) continue;
            const int32_t root = forest.uniteRoots(ra, rb);
            data[root].threshold = rules.threshold / static_cast<float>(data[root].size) + weight;
        }
    }
}

// Edges the tiles go through between two looks at how much they keep.
int64_t stretchFor(int64_t edges) {
    return std::max<int64_t>(edges / 16, int64_t{1} << 20);
}

}  // namespace

TiledMergeReport mergeSegmentsTiled(SegmentForest& forest, const SortedGraph& graph,
                                    const Parameters& parameters, const int32_t* regions,
                                    TileShape tile, int threads, double mostShare,
                                    int64_t stretch) {
    TiledMergeReport report;
    report.edges = graph.edgeCount;
    report.stoppedAt = graph.edgeCount;
    if (graph.edgeCount == 0) return report;
    const TileGrid grid(graph.width, graph.height, tile);
    report.tiles = grid.count();
    const int parts = std::max(1, std::min(threads, grid.count()));
    std::vector<int32_t> owner(static_cast<size_t>(grid.count()));
    for (int32_t t = 0; t < grid.count(); ++t) owner[t] = t % parts;
    std::vector<uint8_t> unsettled(static_cast<size_t>(graph.pixelCount()));
    const Rules rules{parameters.threshold, sizeCapFor(graph.pixelCount(), parameters.capDivisor),
                      regions};
    FirstPass pass{forest, graph.view(), NeighbourOffsets(graph.width), grid, owner, rules,
                   unsettled};
    std::vector<TileWorker> workers;
    for (int part = 0; part < parts; ++part) workers.push_back(TileWorker{part, {}});

    if (stretch <= 0) stretch = stretchFor(graph.edgeCount);
    int64_t done = 0, kept = 0;
    while (done < graph.edgeCount) {
        const int64_t end = std::min(graph.edgeCount, done + stretch);
        runInParts(parts, parts, [&](int part, int64_t, int64_t) {
            pass.visit(workers[part], done, end);
        });
        done = end;
        kept = 0;
        for (const TileWorker& worker : workers) kept += static_cast<int64_t>(worker.kept.size());
        if (static_cast<double>(kept) > mostShare * static_cast<double>(done)) break;
    }
    for (const TileWorker& worker : workers) forest.setCount -= static_cast<int32_t>(worker.joined);
    report.visited = done;
    report.secondPass = kept;
    report.stoppedAt = done;
    mergeKeptEdges(forest, graph, rules, workers, done);
    if (done < graph.edgeCount) mergeSegmentsFrom(forest, graph, parameters, regions, done);
    return report;
}

void mergeSegmentsIn(SegmentForest& forest, const SortedGraph& graph, const Parameters& parameters,
                     const int32_t* regions, const Workspace& workspace) {
    if (workspace.tiles.empty()) {
        mergeSegments(forest, graph, parameters, regions);
    } else {
        mergeSegmentsTiled(forest, graph, parameters, regions, workspace.tiles, workspace.threads);
    }
}

TileShape automaticTileShape(int32_t width, int32_t height, int threads) {
    if (threads < 2 || int64_t{width} * height < kTiledFromPixels) return TileShape{};
    return TileShape{width, (height + threads - 1) / threads};
}

}  // namespace segmora
