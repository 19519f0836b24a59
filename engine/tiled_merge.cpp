#include "tiled_merge.h"

#include <algorithm>
#include <vector>

#include "grid_edges.h"
#include "merge_prefetch.h"
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

    // The tiles of the two ends of `edge`.
    void tilesOf(uint32_t edge, int32_t& first, int32_t& second) const {
        static constexpr int32_t kRowStep[4] = {0, 1, 1, -1}, kColumnStep[4] = {1, 0, 1, 1};
        const int32_t a = edgeFirstVertex(edge);
        const int32_t y = static_cast<int32_t>(rowDivisor.divide(static_cast<uint32_t>(a)));
        const int32_t x = a - y * width;
        first = rowTile[y] + columnTile[x];
        second = rowTile[y + kRowStep[edge & 3]] + columnTile[x + kColumnStep[edge & 3]];
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

// A segment's size at its root carries this flag while the first pass runs
// when the segment is unsettled: it may have grown outside its tile since.
// Sizes stay below 2^29.
constexpr int32_t kUnsettled = int32_t{1} << 30;
constexpr int32_t kSizeBits = kUnsettled - 1;

// How many edges ahead the forest entries of an edge are fetched, and how many
// sorted edges are sifted for a worker's tiles at a time.
constexpr size_t kFetchAhead = 24;
constexpr int64_t kSiftedEdges = 4096;

// Bands of rows are gathered run by run up to this many bands; more are sifted.
constexpr int32_t kMostBands = 64;

// An edge of a worker's tiles and its place in the sorted order.
struct TileEdge {
    uint32_t place;
    int32_t a, b;
    int32_t seamEnds;  // 0: inside a tile; else bit 0: a is the worker's, bit 1: b is
};

// The edges of a thread's one band among a stretch of the sorted edges: for
// each run, the places [from, to) of its edges that touch the band; those
// before `inner` and from `innerEnd` on lie in the rows at its seams.
struct BandPiece {
    int64_t from, inner, innerEnd, to;
    float weight;
    bool nearSeam(int64_t i) const { return i < inner || i >= innerEnd; }
};

// A place among a band's pieces, moved on one edge at a time.
struct BandCursor {
    const BandPiece* piece;
    const BandPiece* end;
    int64_t at;

    bool valid() const { return piece != end; }
    void next() {
        if (++at < piece->to) return;
        if (++piece != end) at = piece->from;
    }
};

// One thread's share of the first pass: the tiles it owns, the edges it keeps
// for the second pass (their places in the sorted order, ascending), the roots
// it marked unsettled and how many merges it made. Threads touch only their
// own tiles' pixels.
struct TileWorker {
    int part;
    const WeightRun* run;      // the run of the edge where the worker is
    const WeightRun* siftRun;  // the run of the edge where sifting is
    std::vector<uint32_t> kept{};  // places
    std::vector<int32_t> marked{};
    std::vector<TileEdge> sifted{};
    std::vector<BandPiece> pieces{};
    int64_t joined = 0;
};

// The ends of an edge a worker may read in the forest: both for an edge inside
// a tile (or in the second pass), only its own for a seam edge.
inline int32_t ownFirstEnd(const TileEdge& e) {
    return e.seamEnds == 2 ? e.b : e.a;
}
inline int32_t ownSecondEnd(const TileEdge& e) {
    return e.seamEnds == 1 ? e.a : e.b;
}

// Fetches the forest entries of the edge 2 * kFetchAhead ahead of j, and the
// parents' and segment data of the one kFetchAhead ahead (most roots are one
// link away). Always inlined: GCC drops a call whose only effects are prefetches.
[[gnu::always_inline]] inline void fetchAhead(const SegmentForest& forest,
                                              const std::vector<TileEdge>& edges, size_t j) {
    if (j + 2 * kFetchAhead < edges.size()) {
        __builtin_prefetch(&forest.parent[ownFirstEnd(edges[j + 2 * kFetchAhead])], 1);
        __builtin_prefetch(&forest.parent[ownSecondEnd(edges[j + 2 * kFetchAhead])], 1);
    }
    if (j + kFetchAhead < edges.size()) {
        const int32_t pa = forest.parent[ownFirstEnd(edges[j + kFetchAhead])];
        const int32_t pb = forest.parent[ownSecondEnd(edges[j + kFetchAhead])];
        __builtin_prefetch(&forest.parent[pa], 1);
        __builtin_prefetch(&forest.parent[pb], 1);
        __builtin_prefetch(&forest.data[pa], 1);
        __builtin_prefetch(&forest.data[pb], 1);
    }
}

// Tiles as wide as the photo: bands of rows. Within a run of equal weight the
// edge numbers ascend, and an edge's number starts with its first pixel's, so
// the edges whose first pixel lies in some rows form one stretch of the run,
// found by binary search. A band's edges are those of its own rows, the
// downward ones of the row above it and the upward ones of the row below it.
struct Bands {
    int32_t width, height, rows, count;

    Bands(int32_t width, int32_t height, int32_t rows)
        : width(width), height(height), rows(rows), count((height + rows - 1) / rows) {}

    // The first pixel of band k (the pixel count for k == count).
    int32_t start(int32_t k) const { return std::min(k * rows, height) * width; }
};

// Which neighbouring bands a band has, and whether the worker owns them.
struct BandSides {
    bool above, below, aboveOwn, belowOwn;

    // The seam flags of an edge that touches the band of pixels [first, last),
    // as TileEdge::seamEnds holds them; -1 for an edge the band leaves alone
    // (it does not touch the band, or a band of the same worker takes it).
    int32_t endsOf(uint32_t edge, int32_t first, int32_t last, int32_t width) const {
        const int32_t a = edgeFirstVertex(edge);
        const uint32_t direction = edge & 3;
        const bool down = direction == kBelow || direction == kBelowRight;
        if (a < first) return down && !aboveOwn ? 2 : -1;  // the row above
        if (a >= last) return direction == kAboveRight && !belowOwn ? 2 : -1;  // the row below
        if (a < first + width && direction == kAboveRight && above) return aboveOwn ? 3 : 1;
        if (a >= last - width && down && below) return belowOwn ? 3 : 1;
        return 0;
    }
};

// The first place in [begin, end) of a run whose edge's first pixel is not below `pixel`.
inline int64_t firstFrom(const uint32_t* edges, int64_t begin, int64_t end, int32_t pixel) {
    const uint32_t edge = static_cast<uint32_t>(pixel) * 4;
    return std::lower_bound(edges + begin, edges + end, edge) - edges;
}

// What the first pass shares: the forest, the tiles and the rules.
struct FirstPass {
    SegmentForest& forest;
    const SortedEdges sorted;
    const NeighbourOffsets neighbours;
    const TileGrid& grid;
    const std::vector<int32_t>& owner;  // the part that owns each tile
    const Rules rules;
    const Bands* bands;  // the tiles when they are bands of rows, else null
    bool ownsOneBand;    // every thread owns one band

    void unsettle(TileWorker& worker, int32_t root) {
        if ((forest.data[root].size & kUnsettled) != 0) return;
        forest.data[root].size |= kUnsettled;
        worker.marked.push_back(root);
    }

    // A seam edge (`ends` as TileEdge::seamEnds): the segments of the worker's ends
    // are unsettled from here on; the worker of its first pixel keeps it.
    void passSeam(TileWorker& worker, const TileEdge& edge, int32_t ends) {
        if ((ends & 1) != 0) {
            unsettle(worker, forest.findRoot(edge.a));
            worker.kept.push_back(edge.place);
        }
        if ((ends & 2) != 0) unsettle(worker, forest.findRoot(edge.b));
    }

    // Decides an edge inside a tile, or keeps it.
    void decide(TileWorker& worker, const TileEdge& edge, float weight) {
        const int32_t a = edge.a, b = edge.b;
        const int32_t ra = forest.findRoot(a), rb = forest.findRoot(b);
        if (ra == rb) return;  // one segment in the whole photo too
        const SegmentData sa = forest.data[ra], sb = forest.data[rb];
        const bool settledA = (sa.size & kUnsettled) == 0, settledB = (sb.size & kUnsettled) == 0;
        const int32_t size = (sa.size & kSizeBits) + (sb.size & kSizeBits);
        // Sizes of unsettled segments can only have grown, and their region ids are their
        // pixels': each test below that fails fails in the whole photo too.
        if (size > rules.sizeCap || !rules.sameRegion(ra, rb)) return;
        if ((settledA && !(weight <= sa.threshold)) || (settledB && !(weight <= sb.threshold))) {
            return;
        }
        if (!settledA || !settledB) {
            unsettle(worker, ra);
            unsettle(worker, rb);
            worker.kept.push_back(edge.place);
            return;
        }
        const bool firstBelow = sa.size <= sb.size;
        const int32_t child = firstBelow ? ra : rb, root = firstBelow ? rb : ra;
        forest.parent[child] = root;
        forest.data[root] = SegmentData{size, rules.threshold / static_cast<float>(size) + weight};
        ++worker.joined;
    }

    // The sorted edges [begin, end) that touch the worker's tiles, sifted out
    // a stretch at a time and then decided with their forest entries fetched ahead.
    void visit(TileWorker& worker, int64_t begin, int64_t end) {
        if (bands != nullptr && ownsOneBand) {
            gatherOwnBand(worker, begin, end);
            decideOwnBand(worker);
            return;
        }
        for (int64_t start = begin; start < end; start += kSiftedEdges) {
            sift(worker, start, std::min(end, start + kSiftedEdges));
            const std::vector<TileEdge>& edges = worker.sifted;
            for (size_t j = 0; j < edges.size(); ++j) {
                fetchAhead(forest, edges, j);
                const TileEdge& e = edges[j];
                if (e.seamEnds != 0) {
                    passSeam(worker, e, e.seamEnds);
                    continue;
                }
                while (worker.run->end <= e.place) ++worker.run;
                decide(worker, e, worker.run->weight);
            }
        }
    }

    // The band's pieces of the sorted edges [begin, end): see BandPiece.
    void gatherOwnBand(TileWorker& worker, int64_t begin, int64_t end) {
        const int32_t k = worker.part, width = bands->width;
        const int32_t first = bands->start(k), last = bands->start(k + 1);
        worker.pieces.clear();
        const uint32_t* const edges = sorted.edges;
        const WeightRun* run = worker.siftRun;
        for (int64_t at = begin; at < end; at = std::min<int64_t>(end, run->end)) {
            while (run->end <= at) ++run;
            const int64_t stop = std::min<int64_t>(end, run->end);
            BandPiece piece{};
            piece.from = firstFrom(edges, at, stop, k > 0 ? first - width : first);
            piece.inner = firstFrom(edges, piece.from, stop, first + width);
            piece.innerEnd =
                firstFrom(edges, piece.inner, stop, std::max(first + width, last - width));
            piece.to =
                firstFrom(edges, piece.innerEnd, stop, k + 1 < bands->count ? last + width : last);
            piece.weight = run->weight;
            if (piece.to > piece.from) worker.pieces.push_back(piece);
        }
        worker.siftRun = run;
    }

    // Decides the band's pieces in order, as visit does a sifted list, with the
    // forest entries of later edges fetched ahead.
    void decideOwnBand(TileWorker& worker) {
        const int32_t k = worker.part, width = bands->width;
        const int32_t first = bands->start(k), last = bands->start(k + 1);
        const BandSides sides{k > 0, k + 1 < bands->count, false, false};
        const BandPiece* const begin = worker.pieces.data();
        const BandPiece* const end = begin + worker.pieces.size();
        if (begin == end) return;
        BandCursor near{begin, end, begin->from}, far{begin, end, begin->from};
        for (size_t step = 0; step < kFetchAhead && near.valid(); ++step) near.next();
        for (size_t step = 0; step < 2 * kFetchAhead && far.valid(); ++step) far.next();
        for (const BandPiece* piece = begin; piece != end; ++piece) {
            for (int64_t i = piece->from; i < piece->to; ++i) {
                fetchBandAhead(near, far);
                const uint32_t edge = sorted.edges[i];
                const auto place = static_cast<uint32_t>(i);
                const TileEdge e{place, edgeFirstVertex(edge),
                                 edgeSecondVertex(edge, neighbours), 0};
                const int32_t ends =
                    piece->nearSeam(i) ? sides.endsOf(edge, first, last, width) : 0;
                if (ends == 0) decide(worker, e, piece->weight);
                if (ends > 0) passSeam(worker, e, ends);
            }
        }
    }

    // fetchAhead for a band's pieces, the cursors moved on by one; edges near a
    // seam are left alone, as they may lie in another band.
    [[gnu::always_inline]] void fetchBandAhead(BandCursor& near, BandCursor& far) const {
        if (far.valid()) {
            if (!far.piece->nearSeam(far.at)) {
                prefetchLinks(forest.parent, sorted.edges[far.at], neighbours);
            }
            far.next();
        }
        if (near.valid()) {
            if (!near.piece->nearSeam(near.at)) {
                prefetchLinked(forest.parent, forest.data, sorted.edges[near.at], neighbours);
            }
            near.next();
        }
    }

    // The worker's edges among the sorted edges [begin, end), in sorted order.
    void sift(TileWorker& worker, int64_t begin, int64_t end) {
        if (bands == nullptr) {
            siftAll(worker, begin, end);
            return;
        }
        worker.sifted.resize(static_cast<size_t>(end - begin));
        size_t count = 0;
        bool ownsSeveral = false;
        for (const WeightRun* run = worker.siftRun; begin < end; ++run) {
            while (run->end <= begin) ++run;
            const int64_t stop = std::min<int64_t>(end, run->end);
            for (int32_t k = worker.part; k < bands->count; ++k) {
                if (owner[k] != worker.part) continue;
                count = gatherBand(worker, count, k, begin, stop);
                ownsSeveral |= k != worker.part;
            }
            begin = stop;
            worker.siftRun = run;
        }
        worker.sifted.resize(count);
        if (ownsSeveral) {  // the bands' stretches of a run one after another
            std::sort(worker.sifted.begin(), worker.sifted.end(),
                      [](const TileEdge& x, const TileEdge& y) { return x.place < y.place; });
        }
    }

    // The edges of band k among the places [begin, end) of one run, as siftAll
    // would write them: an edge with both ends in bands of the worker once. The
    // edges of the rows inside the band, most of them, need no test.
    size_t gatherBand(TileWorker& worker, size_t count, int32_t k, int64_t begin, int64_t end) {
        const int32_t width = bands->width, first = bands->start(k), last = bands->start(k + 1);
        const BandSides sides{k > 0, k + 1 < bands->count,
                              k > 0 && owner[k - 1] == worker.part,
                              k + 1 < bands->count && owner[k + 1] == worker.part};
        const int64_t from = firstFrom(sorted.edges, begin, end, sides.above ? first - width : first);
        const int64_t inner = firstFrom(sorted.edges, from, end, first + width);
        const int64_t innerEnd =
            firstFrom(sorted.edges, inner, end, std::max(first + width, last - width));
        const int64_t to = firstFrom(sorted.edges, innerEnd, end, sides.below ? last + width : last);
        TileEdge* out = worker.sifted.data();
        const auto write = [&](int64_t i, uint32_t edge, int32_t ends) {
            out[count].place = static_cast<uint32_t>(i);  // field by field: no copy through the stack
            out[count].a = edgeFirstVertex(edge);
            out[count].b = edgeSecondVertex(edge, neighbours);
            out[count++].seamEnds = ends;
        };
        for (int64_t i = from; i < inner; ++i) {
            const int32_t ends = sides.endsOf(sorted.edges[i], first, last, width);
            if (ends >= 0) write(i, sorted.edges[i], ends);
        }
        for (int64_t i = inner; i < innerEnd; ++i) write(i, sorted.edges[i], 0);
        for (int64_t i = innerEnd; i < to; ++i) {
            const int32_t ends = sides.endsOf(sorted.edges[i], first, last, width);
            if (ends >= 0) write(i, sorted.edges[i], ends);
        }
        return count;
    }

    // The worker's edges among the sorted edges [begin, end), found by looking
    // at every one of them without a branch on whether they are.
    void siftAll(TileWorker& worker, int64_t begin, int64_t end) {
        worker.sifted.resize(static_cast<size_t>(end - begin));
        TileEdge* out = worker.sifted.data();
        const int32_t* const owners = owner.data();
        const int32_t part = worker.part;
        size_t count = 0;
        for (int64_t i = begin; i < end; ++i) {
            const uint32_t edge = sorted.edges[i];
            int32_t ta, tb;
            grid.tilesOf(edge, ta, tb);
            const int32_t ends = (owners[ta] == part ? 1 : 0) | (owners[tb] == part ? 2 : 0);
            out[count] = TileEdge{static_cast<uint32_t>(i), edgeFirstVertex(edge),
                                  edgeSecondVertex(edge, neighbours), ta == tb ? 0 : ends};
            count += ends != 0;
        }
        worker.sifted.resize(count);
    }
};

// The places of the workers' kept edges in one ascending list.
std::vector<uint32_t> keptInOrder(const std::vector<TileWorker>& workers) {
    std::vector<uint32_t> places;
    for (const TileWorker& worker : workers) {
        const size_t middle = places.size();
        places.insert(places.end(), worker.kept.begin(), worker.kept.end());
        std::inplace_merge(places.begin(), places.begin() + static_cast<ptrdiff_t>(middle),
                           places.end());
    }
    return places;
}

// The second pass: the kept and seam edges, in sorted order, under the
// one-piece rules, with the forest entries of later edges fetched ahead.
void mergeKeptEdges(SegmentForest& forest, const SortedGraph& graph, const Rules& rules,
                    const std::vector<TileWorker>& workers) {
    const std::vector<uint32_t> places = keptInOrder(workers);
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    SegmentData* data = forest.data;
    const WeightRun* run = sorted.runs;
    for (size_t j = 0; j < places.size(); ++j) {
        if (j + kFetchAhead < places.size()) {
            const uint32_t ahead = sorted.edges[places[j + kFetchAhead]];
            __builtin_prefetch(&forest.parent[edgeFirstVertex(ahead)], 1);
            __builtin_prefetch(&forest.parent[edgeSecondVertex(ahead, neighbours)], 1);
        }
        while (run->end <= places[j]) ++run;
        const uint32_t edge = sorted.edges[places[j]];
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

// After the edges before `start` (those of weight 0) merged in one piece: every
// pixel pointed straight at its root, and the segments at either end of a seam
// edge among them unsettled, which takes in every segment across a seam. Then a
// band's worker never writes outside its band: a root it reaches in another band
// is unsettled, so nothing merges it or marks it again. Returns those roots.
std::vector<int32_t> unsettleAcrossSeams(SegmentForest& forest, const SortedGraph& graph,
                                         const Bands& bands, int64_t start, int threads) {
    runInParts(partsForItems(graph.pixelCount(), threads), graph.pixelCount(),
               [&](int, int64_t begin, int64_t end) { pointAtRoots(forest.parent, begin, end); });
    const uint32_t* edges = graph.view().edges;
    const NeighbourOffsets neighbours(graph.width);
    std::vector<int32_t> roots;
    for (int32_t k = 1; k < bands.count; ++k) {
        const int32_t seam = bands.start(k);
        const int64_t from = firstFrom(edges, 0, start, seam - bands.width);
        const int64_t to = firstFrom(edges, from, start, seam + bands.width);
        for (int64_t i = from; i < to; ++i) {
            const int32_t a = edgeFirstVertex(edges[i]), b = edgeSecondVertex(edges[i], neighbours);
            if ((a < seam) == (b < seam)) continue;  // both ends in one band
            for (const int32_t root : {forest.parent[a], forest.parent[b]}) {
                if ((forest.data[root].size & kUnsettled) != 0) continue;
                forest.data[root].size |= kUnsettled;
                roots.push_back(root);
            }
        }
    }
    return roots;
}

// Edges the tiles go through before they first look at how much they keep,
// and at most between two looks: the looks come at 2^16 edges, then twice as
// many each time, so that a photo they do not suit costs little.
constexpr int64_t kFirstStretch = int64_t{1} << 16;
int64_t longestStretchFor(int64_t edges) {
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
    const Rules rules{parameters.threshold, sizeCapFor(graph.pixelCount(), parameters.capDivisor),
                      regions};
    const Bands bands(graph.width, graph.height, tile.height);
    const bool inBands = tile.width >= graph.width && bands.count <= kMostBands;
    FirstPass pass{forest, graph.view(), NeighbourOffsets(graph.width), grid, owner, rules,
                   inBands ? &bands : nullptr, parts == grid.count()};
    std::vector<TileWorker> workers;
    for (int part = 0; part < parts; ++part) {
        workers.push_back(TileWorker{part, graph.view().runs, graph.view().runs});
    }

    // Bands take the edges of weight 0 in one piece first (see unsettleAcrossSeams).
    const int64_t start = inBands ? mergeZeroWeightEdges(forest, graph, parameters, regions) : 0;
    if (start == graph.edgeCount) return report;
    std::vector<int32_t> unsettledFirst;
    if (start > 0) unsettledFirst = unsettleAcrossSeams(forest, graph, bands, start, threads);
    const int64_t longest = stretch > 0 ? stretch : longestStretchFor(graph.edgeCount);
    int64_t done = start, kept = 0;
    while (done < graph.edgeCount) {
        const int64_t end = std::min(
            graph.edgeCount, done + std::min(longest, std::max(done - start, kFirstStretch)));
        runInParts(parts, parts, [&](int part, int64_t, int64_t) {
            pass.visit(workers[part], done, end);
        });
        done = end;
        kept = 0;
        for (const TileWorker& worker : workers) kept += static_cast<int64_t>(worker.kept.size());
        if (static_cast<double>(kept) > mostShare * static_cast<double>(done - start)) break;
    }
    for (const int32_t root : unsettledFirst) forest.data[root].size &= kSizeBits;
    for (const TileWorker& worker : workers) {
        forest.setCount -= static_cast<int32_t>(worker.joined);
        for (const int32_t root : worker.marked) forest.data[root].size &= kSizeBits;
    }
    report.visited = done - start;
    report.secondPass = kept;
    report.stoppedAt = done;
    mergeKeptEdges(forest, graph, rules, workers);
    if (done < graph.edgeCount) mergeSegmentsFrom(forest, graph, parameters, regions, done);
    return report;
}

void mergeSegmentsIn(SegmentForest& forest, const SortedGraph& graph, const Parameters& parameters,
                     const int32_t* regions, const Workspace& workspace) {
    const TileShape tiles =
        workspace.tiles     ? *workspace.tiles
        : kTilesByDefault ? automaticTileShape(graph.width, graph.height, workspace.threads)
                          : TileShape{};
    if (tiles.empty()) {
        mergeSegments(forest, graph, parameters, regions);
    } else {
        mergeSegmentsTiled(forest, graph, parameters, regions, tiles, workspace.threads);
    }
}

TileShape automaticTileShape(int32_t width, int32_t height, int threads) {
    if (threads < 2 || int64_t{width} * height < kTiledFromPixels) return TileShape{};
    return TileShape{width, (height + threads - 1) / threads};
}

}  // namespace segmora
