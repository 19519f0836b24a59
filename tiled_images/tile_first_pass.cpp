#include "tile_first_pass.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "block_pool.h"
#include "parallel.h"
#include "photo_lab_planes.h"
#include "segment_forest.h"
#include "small_segments.h"
#include "sorted_graph.h"
#include "tile_frame.h"
#include "tile_labels.h"
#include "tile_grid.h"

namespace segmora {

namespace {

// A seam edge seen from this tile: its key and the local pixel at its end here.
struct SeamHalf {
    uint32_t weight;
    uint64_t edge;
    int32_t pixel;
};

// The seam edges of the tile's pixels, with weights from the photo around the tile
// (`weightOf` over the read rectangle, whose corner is `read`), sorted by key.
std::vector<SeamHalf> seamHalvesOf(const TileFrame& frame, const TileRect& read,
                                   const PhotoEdgeWeights& weightOf) {
    static constexpr int kColumnStep[4] = {1, 0, 1, 1}, kRowStep[4] = {0, 1, 1, -1};
    const TileRect& own = frame.own;
    std::vector<SeamHalf> halves;
    const auto visit = [&](int64_t lx, int64_t ly) {
        const int64_t x = own.x + lx, y = own.y + ly;
        for (int side = 0; side < 2; ++side) {  // edges made here, then made by the neighbour
            for (int direction = 0; direction < 4; ++direction) {
                const int64_t step = side == 0 ? 1 : -1;
                const int64_t qx = x + step * kColumnStep[direction];
                const int64_t qy = y + step * kRowStep[direction];
                if (qx < 0 || qy < 0 || qx >= frame.imageWidth || qy >= frame.imageHeight ||
                    rectHolds(own, qx, qy)) {
                    continue;
                }
                const int64_t firstX = side == 0 ? x : qx, firstY = side == 0 ? y : qy;
                float here[3], there[3];
                weightOf.channelsAt(static_cast<int>(y - read.y), static_cast<int>(x - read.x), here);
                weightOf.channelsAt(static_cast<int>(qy - read.y), static_cast<int>(qx - read.x),
                                    there);
                const float weight = side == 0 ? PhotoEdgeWeights::between(here, there)
                                               : PhotoEdgeWeights::between(there, here);
                halves.push_back({weightBits(weight),
                                  static_cast<uint64_t>(firstY * frame.imageWidth + firstX) * 4 +
                                      static_cast<uint64_t>(direction),
                                  static_cast<int32_t>(ly * own.width + lx)});
            }
        }
    };
    for (int64_t ly = 0; ly < own.height; ++ly) {
        const bool edgeRow = ly == 0 || ly == own.height - 1;
        for (int64_t lx = 0; lx < own.width; lx += edgeRow ? 1 : std::max<int64_t>(1, own.width - 1)) {
            visit(lx, ly);
        }
    }
    std::sort(halves.begin(), halves.end(), [](const SeamHalf& p, const SeamHalf& q) {
        return p.weight != q.weight ? p.weight < q.weight : p.edge < q.edge;
    });
    return halves;
}

// How many of the tile's sorted inner edges come before the key (weight, edge).
uint32_t placeOf(const SortedEdges& sorted, const TileFrame& frame, uint32_t weight,
                 uint64_t edge) {
    const WeightRun* runs = sorted.runs;
    const WeightRun* run = std::partition_point(runs, runs + sorted.runCount, [&](const WeightRun& r) {
        return weightBits(r.weight) < weight;
    });
    const uint32_t start = run == runs ? 0 : run[-1].end;
    if (run == runs + sorted.runCount || weightBits(run->weight) != weight) return start;
    const uint32_t* found = std::partition_point(
        sorted.edges + start, sorted.edges + run->end,
        [&](uint32_t local) { return frame.globalEdge(local) < edge; });
    return static_cast<uint32_t>(found - sorted.edges);
}

// An inner edge left to joinTiles: its place in the sorted edges and the roots of its ends.
struct KeptEdge {
    uint32_t place;
    int32_t a, b;
};

// The tile's merge over its inner edges in order. A segment is settled while `place` at its
// root (the earliest place of a seam edge of any of its pixels, 0 once a kept edge touched
// it) lies beyond the edge visited: it is then exactly the one-piece segment.
class TileMerge {
  public:
    TileMerge(SegmentForest& forest, uint32_t* place, const int32_t* regions, float threshold,
              int64_t sizeCap)
        : forest(forest), place(place), regions(regions), threshold(threshold), sizeCap(sizeCap) {}

    void run(const SortedEdges& sorted, int32_t width) {
        const NeighbourOffsets neighbours(width);
        uint32_t i = 0;
        for (int64_t r = 0; r < sorted.runCount; ++r) {
            const float weight = sorted.runs[r].weight;
            for (; i < sorted.runs[r].end; ++i) {
                const uint32_t edge = sorted.edges[i];
                visit(i, forest.findRoot(edgeFirstVertex(edge)),
                      forest.findRoot(edgeSecondVertex(edge, neighbours)), weight);
            }
        }
    }

    std::vector<KeptEdge> kept;

  private:
    void visit(uint32_t i, int32_t ra, int32_t rb, float weight) {
        if (ra == rb) return;
        SegmentData* data = forest.data;
        const SegmentData sa = data[ra], sb = data[rb];
        const bool settledA = place[ra] > i, settledB = place[rb] > i;
        const int64_t size = int64_t{sa.size} + sb.size;
        const bool sameRegion = regions == nullptr || regions[ra] == regions[rb];
        if (settledA && settledB) {
            if (weight <= sa.threshold && weight <= sb.threshold && size <= sizeCap && sameRegion) {
                const uint32_t earliest = std::min(place[ra], place[rb]);
                const int32_t root = forest.uniteRoots(ra, rb);
                data[root].threshold = threshold / static_cast<float>(data[root].size) + weight;
                place[root] = earliest;
            }
            return;
        }
        // Sizes only grow and a segment keeps its region: these rejections are final.
        if (size > sizeCap || !sameRegion) return;
        if ((settledA && !(weight <= sa.threshold)) || (settledB && !(weight <= sb.threshold))) {
            return;
        }
        kept.push_back({i, ra, rb});
        place[ra] = 0;
        place[rb] = 0;
    }

    SegmentForest& forest;
    uint32_t* place;
    const int32_t* regions;
    float threshold;
    int64_t sizeCap;
};

// Numbers the local segments in raster order of first pixels, pointing every pixel at its
// root; `idOf` (a word per pixel) gets the number of each root.
void numberLocalSegments(SegmentForest& forest, int32_t pixels, const int32_t* regions,
                         uint32_t* idOf, TileFirstPass& pass) {
    std::fill(idOf, idOf + pixels, kAcrossSeam);
    pass.pixelSegments.resize(static_cast<size_t>(pixels));
    for (int32_t v = 0; v < pixels; ++v) {
        const int32_t root = forest.findRoot(v);
        forest.parent[v] = root;
        if (idOf[root] == kAcrossSeam) {
            idOf[root] = static_cast<uint32_t>(pass.segments.size());
            const SegmentData& data = forest.data[root];
            pass.segments.push_back({static_cast<uint32_t>(data.size), data.threshold,
                                     regions != nullptr ? regions[root] : 0,
                                     static_cast<uint32_t>(v)});
        }
        pass.pixelSegments[static_cast<size_t>(v)] = idOf[root];
    }
}

// Two lists ascending by key as one.
std::vector<JoinEdge> mergedByKey(const std::vector<JoinEdge>& p, const std::vector<JoinEdge>& q) {
    std::vector<JoinEdge> all(p.size() + q.size());
    std::merge(p.begin(), p.end(), q.begin(), q.end(), all.begin(),
               [](const JoinEdge& x, const JoinEdge& y) { return x.before(y); });
    return all;
}

// The inner edges the clean-up may join: those with an end in a local segment below
// `minSize` (a whole segment is never smaller than its part here) between two segments.
std::vector<JoinEdge> innerCleanupEdges(const SegmentForest& forest, const cv::Mat& tilePhoto,
                                        const LabTables& lab, int32_t minSize, int threads,
                                        const TileFrame& frame, const uint32_t* idOf) {
    const int32_t width = tilePhoto.cols, height = tilePhoto.rows;
    const int32_t pixels = width * height;
    std::vector<uint64_t> marks((static_cast<size_t>(pixels) + 63) / 64);
    bool any = false;
    for (int32_t v = 0; v < pixels; ++v) {
        if (forest.data[forest.parent[v]].size < minSize) {
            marks[static_cast<size_t>(v >> 6)] |= uint64_t{1} << (v & 63);
            any = true;
        }
    }
    std::vector<JoinEdge> edges;
    if (!any) return edges;
    const PhotoEdgeWeights weightOf(tilePhoto, lab);
    const NeighbourOffsets neighbours(width);
    for (const uint32_t edge : edgesAroundMarked(marks.data(), width, height, weightOf, threads)) {
        const int32_t ra = forest.parent[edgeFirstVertex(edge)];
        const int32_t rb = forest.parent[edgeSecondVertex(edge, neighbours)];
        if (ra == rb) continue;
        const int32_t u = edgeFirstVertex(edge);
        const int32_t v = edgeSecondVertex(edge, neighbours);
        float cu[3], cv[3];
        weightOf.channelsAt(u / width, u % width, cu);
        weightOf.channelsAt(v / width, v % width, cv);
        edges.push_back({weightBits(PhotoEdgeWeights::between(cu, cv)), frame.globalEdge(edge),
                         idOf[ra], idOf[rb]});
    }
    return edges;
}

void checkTileInput(const TiledImage& image, const TileRect& read, const cv::Mat& photo,
                    const cv::Mat_<int>& regions) {
    const std::string shape = std::to_string(read.width) + " x " + std::to_string(read.height);
    if (photo.dims != 2 || photo.type() != CV_8UC3) {
        throw std::invalid_argument("a tile's photo must hold 8-bit pixels of three channels (CV_8UC3)");
    }
    if (photo.cols != read.width || photo.rows != read.height) {
        throw std::invalid_argument("a tile's photo must have the " + shape +
                                    " pixels of its read rectangle");
    }
    if (!image.withRegions && !regions.empty()) {
        throw std::invalid_argument("a region map was given for an image without regions");
    }
    if (image.withRegions && (regions.dims != 2 || regions.cols != read.width || regions.rows != read.height)) {
        throw std::invalid_argument("a tile's region map must have the " + shape +
                                    " cells of its read rectangle");
    }
}

}  // namespace

TileFirstPass firstPassOf(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions) {
    checkTiledImage(image);
    const TileRect own = tileRect(image, tile), read = tileReadRect(image, tile);
    checkTileInput(image, read, photo, regions);
    const Parameters parameters = tiledParameters(image);
    const TileFrame frame{image.width, image.height, own};
    const cv::Rect inside(static_cast<int>(own.x - read.x), static_cast<int>(own.y - read.y),
                          static_cast<int>(own.width), static_cast<int>(own.height));
    const cv::Mat tilePhoto = photo(inside);
    const int32_t width = tilePhoto.cols, height = tilePhoto.rows, pixels = width * height;
    std::vector<int32_t> tileRegions;
    if (image.withRegions) {
        tileRegions.reserve(static_cast<size_t>(pixels));
        for (int y = 0; y < height; ++y) {
            const int* row = regions.ptr<int>(inside.y + y) + inside.x;
            tileRegions.insert(tileRegions.end(), row, row + width);
        }
    }
    const int32_t* regionOf = image.withRegions ? tileRegions.data() : nullptr;

    BlockPool pool;
    const LabTables lab;
    const Workspace workspace{pool, threadCountFor(parameters.threads), false, &lab};
    ChannelPlanes planes = planesFromPhoto(tilePhoto, workspace);
    const SortedGraph graph = sortedGraphOf(
        planes.channels, width, height, [&] { planes.buffer.release(); }, workspace);
    const SortedEdges sorted = graph.view();

    // The earliest seam edge of each pixel, as a place among the sorted inner edges.
    std::vector<uint32_t> place(static_cast<size_t>(pixels), static_cast<uint32_t>(sorted.count));
    const std::vector<SeamHalf> seams = seamHalvesOf(frame, read, PhotoEdgeWeights(photo, lab));
    for (const SeamHalf& seam : seams) {
        uint32_t& earliest = place[static_cast<size_t>(seam.pixel)];
        earliest = std::min(earliest, placeOf(sorted, frame, seam.weight, seam.edge));
    }
    SegmentForest forest(pool, pixels, parameters.threshold);
    TileMerge merge(forest, place.data(), regionOf, parameters.threshold, tiledSizeCap(image));
    merge.run(sorted, width);

    TileFirstPass pass;
    pass.innerEdges = sorted.count;
    pass.keptEdges = static_cast<int64_t>(merge.kept.size());
    uint32_t* const idOf = place.data();  // the places are spent
    numberLocalSegments(forest, pixels, regionOf, idOf, pass);
    std::vector<JoinEdge> kept, halves;
    kept.reserve(merge.kept.size());
    for (const KeptEdge& edge : merge.kept) {
        const uint32_t local = sorted.edges[edge.place];
        const WeightRun* run = std::upper_bound(
            sorted.runs, sorted.runs + sorted.runCount, edge.place,
            [](uint32_t p, const WeightRun& r) { return p < r.end; });
        kept.push_back({weightBits(run->weight), frame.globalEdge(local), idOf[edge.a], idOf[edge.b]});
    }
    halves.reserve(seams.size());
    for (const SeamHalf& seam : seams) {
        halves.push_back({seam.weight, seam.edge, idOf[forest.parent[seam.pixel]], kAcrossSeam});
    }
    pass.mergeEdges = mergedByKey(kept, halves);
    if (parameters.minSize > 1) {
        pass.cleanupEdges = mergedByKey(
            innerCleanupEdges(forest, tilePhoto, lab, parameters.minSize, workspace.threads,
                              frame, idOf),
            halves);
    }
    return pass;
}

}  // namespace segmora

namespace segmora {

TileState segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                      const cv::Mat_<int>& regions) {
    const TileFirstPass pass = firstPassOf(image, tile, photo, regions);
    const JoinCounts counts{pass.segments.size(), pass.mergeEdges.size(), pass.cleanupEdges.size()};
    TileState state;
    state.join.reserve(counts.length());
    putJoinHeader(state.join, image, tile, counts);
    for (const JoinSegment& segment : pass.segments) putJoinSegment(state.join, segment);
    for (const JoinEdge& edge : pass.mergeEdges) putJoinEdge(state.join, edge);
    for (const JoinEdge& edge : pass.cleanupEdges) putJoinEdge(state.join, edge);
    sealBytes(state.join);
    state.labels = localLabelBytes(tile, tileRect(image, tile), pass.pixelSegments,
                                   pass.segments.size());
    return state;
}

}  // namespace segmora
