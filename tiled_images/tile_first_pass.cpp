#include "tile_first_pass.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "block_pool.h"
#include "flat_edges.h"
#include "parallel.h"
#include "photo_lab_planes.h"
#include "segmenter_buffers.h"
#include "small_segments.h"
#include "sorted_graph.h"
#include "tile_channels.h"
#include "tile_frame.h"
#include "tile_grid.h"
#include "tile_labels.h"
#include "tile_merge.h"
#include "tile_seams.h"

namespace segmora {

namespace {

// Numbers the local segments in raster order of first pixels, as numberSegments does: each
// root's size becomes minus one more than its number once the segment is listed, then each
// pixel's parent becomes its segment's number (the forest is spent). `inner` tells of each
// segment whether it is whole already: no seam edge touches it and it kept no edge.
void numberLocalSegments(TileForest& forest, int32_t pixels, const std::vector<SeamHalf>& seams,
                         TileFirstPass& pass, std::vector<bool>& inner) {
    int32_t* parent = forest.parent;
    for (int32_t v = 0; v < pixels; ++v) {
        const int32_t root = forest.findRoot(v);
        parent[v] = root;
        TileSegment& data = forest.segment[root];
        if (data.size > 0) {
            pass.segments.push_back({static_cast<uint32_t>(data.size), std::fabs(data.threshold),
                                     forest.regions != nullptr ? forest.regions[root] : 0,
                                     static_cast<uint32_t>(v)});
            inner.push_back(settled(data));
            data.size = -static_cast<int32_t>(pass.segments.size());
        }
    }
    for (int32_t v = 0; v < pixels; ++v) parent[v] = -forest.segment[parent[v]].size - 1;
    for (const SeamHalf& seam : seams) inner[static_cast<size_t>(parent[seam.pixel])] = false;
}

// Two lists ascending by key as one, in `all` (empty, its allocator kept).
void mergeByKey(const HugeVector<JoinEdge>& p, const HugeVector<JoinEdge>& q,
                HugeVector<JoinEdge>& all) {
    all.reserve(p.size() + q.size());
    std::merge(p.begin(), p.end(), q.begin(), q.end(), std::back_inserter(all),
               [](const JoinEdge& x, const JoinEdge& y) { return x.before(y); });
}

// The kept inner edges with their keys and local segments.
HugeVector<JoinEdge> keptJoinEdges(const HugeVector<KeptEdge>& kept, const SortedEdges& sorted,
                                   const TileFrame& frame, const TileSegment* segment,
                                   BlockPool& pool) {
    const auto idOf = [&](int32_t root) { return static_cast<uint32_t>(-segment[root].size - 1); };
    HugeVector<JoinEdge> edges = pooledVector<JoinEdge>(pool);
    edges.reserve(kept.size());
    const WeightRun* run = sorted.runs;
    for (const KeptEdge& edge : kept) {  // in sorted order: the runs are walked once
        while (run->end <= edge.place) ++run;
        edges.push_back({weightBits(run->weight), frame.globalEdge(sorted.edges[edge.place]),
                         idOf(edge.a), idOf(edge.b)});
    }
    return edges;
}

// The inner edges with an end in a marked pixel, in key order: (weight bits, local edge).
// Found around the marked pixels with weights from the photo, or (smoothed channels) by
// going through all sorted edges.
HugeVector<std::pair<uint32_t, uint32_t>> edgesTouching(
    const HugeVector<uint64_t>& marks, const SortedEdges& sorted, const cv::Mat& tilePhoto,
    const TileChannels& channels, const LabTables& lab, const Workspace& workspace) {
    const int32_t width = tilePhoto.cols, height = tilePhoto.rows;
    const NeighbourOffsets neighbours(width);
    const auto marked = [&](int32_t v) {
        return (marks[static_cast<size_t>(v >> 6)] >> (v & 63)) & 1;
    };
    auto edges = pooledVector<std::pair<uint32_t, uint32_t>>(workspace.pool);
    if (channels.smoothed()) {
        for (int64_t r = 0, i = 0; r < sorted.runCount; ++r) {
            const uint32_t weight = weightBits(sorted.runs[r].weight);
            for (; i < sorted.runs[r].end; ++i) {
                const uint32_t edge = sorted.edges[i];
                if (marked(edgeFirstVertex(edge)) || marked(edgeSecondVertex(edge, neighbours))) {
                    edges.emplace_back(weight, edge);
                }
            }
        }
        return edges;
    }
    const PhotoEdgeWeights weightOf(tilePhoto, lab);
    const EdgeKeys keys(workspace.pool, marks.data(), width, height, weightOf, workspace.threads);
    edges.reserve(static_cast<size_t>(keys.count));
    for (int64_t k = 0; k < keys.count; ++k) {
        edges.emplace_back(static_cast<uint32_t>(keys.keys()[k] >> 32), keyEdge(keys.keys()[k]));
    }
    return edges;
}

// The inner edges the clean-up may join: those with an end in a local segment X below
// `minSize` (a whole segment is never smaller than its part here) between two segments.
// When X is whole already (`inner`), its first edge joins it for sure; once that edge's
// other side makes it large, its later edges join only a small other side, which lists
// them itself: they are left out. `ids`: each pixel's local segment.
HugeVector<JoinEdge> innerCleanupEdges(
    const int32_t* ids, const HugeVector<JoinSegment>& segments, const std::vector<bool>& inner,
    int32_t minSize, const TileFrame& frame, BlockPool& pool,
    const std::function<HugeVector<std::pair<uint32_t, uint32_t>>(const HugeVector<uint64_t>&)>&
        touching) {
    const int32_t width = static_cast<int32_t>(frame.own.width);
    const int32_t pixels = static_cast<int32_t>(frame.own.width * frame.own.height);
    const uint32_t least = static_cast<uint32_t>(minSize);
    HugeVector<uint64_t> marks((static_cast<size_t>(pixels) + 63) / 64, 0,
                               HugePageAllocator<uint64_t>(&pool));
    bool any = false;
    for (int32_t v = 0; v < pixels; ++v) {
        if (segments[static_cast<size_t>(ids[v])].size < least) {
            marks[static_cast<size_t>(v >> 6)] |= uint64_t{1} << (v & 63);
            any = true;
        }
    }
    HugeVector<JoinEdge> edges = pooledVector<JoinEdge>(pool);
    if (!any) return edges;
    enum Need : uint8_t { kFirst, kAll, kNone };
    HugeVector<Need> need(segments.size(), kFirst, HugePageAllocator<Need>(&pool));
    // Whether the side `x` (other side `y`) needs the edge; the first edge of a whole
    // segment settles what it needs after.
    const auto needs = [&](size_t x, size_t y) {
        if (segments[x].size >= least) return false;
        if (!inner[x]) return true;
        if (need[x] == kFirst) {
            need[x] = segments[x].size + segments[y].size >= least ? kNone : kAll;
            return true;
        }
        return need[x] == kAll;
    };
    const NeighbourOffsets neighbours(width);
    const auto edgesNear = touching(marks);
    constexpr size_t kAhead = 16;  // the edges come in key order: their pixels' ids are fetched
    for (size_t k = 0; k < edgesNear.size(); ++k) {
        if (k + kAhead < edgesNear.size()) {
            __builtin_prefetch(&ids[edgeFirstVertex(edgesNear[k + kAhead].second)]);
            __builtin_prefetch(&ids[edgeSecondVertex(edgesNear[k + kAhead].second, neighbours)]);
        }
        const auto [weight, edge] = edgesNear[k];
        const size_t iu = static_cast<size_t>(ids[edgeFirstVertex(edge)]);
        const size_t iv = static_cast<size_t>(ids[edgeSecondVertex(edge, neighbours)]);
        if (iu == iv) continue;
        const bool needU = needs(iu, iv), needV = needs(iv, iu);
        if (needU || needV) {
            edges.push_back({weight, frame.globalEdge(edge), static_cast<uint32_t>(iu),
                             static_cast<uint32_t>(iv)});
        }
    }
    return edges;
}

void checkTileInput(const TiledImage& image, const TileRect& read, const cv::Mat& photo,
                    const cv::Mat_<int>& regions) {
    const std::string shape = std::to_string(read.width) + " x " + std::to_string(read.height);
    if (photo.dims != 2 || photo.type() != CV_8UC3) {
        throw std::invalid_argument(
            "a tile's photo must hold 8-bit pixels of three channels (CV_8UC3)");
    }
    if (photo.cols != read.width || photo.rows != read.height) {
        throw std::invalid_argument("a tile's photo must have the " + shape +
                                    " pixels of its read rectangle");
    }
    if (!image.withRegions && !regions.empty()) {
        throw std::invalid_argument("a region map was given for an image without regions");
    }
    if (image.withRegions &&
        (regions.dims != 2 || regions.cols != read.width || regions.rows != read.height)) {
        throw std::invalid_argument("a tile's region map must have the " + shape +
                                    " cells of its read rectangle");
    }
}

// After a flat sweep: which seam edges of weight 0 join nothing, because the cap keeps their
// sides apart (`apart`) or their regions differ. None without the sweep.
std::vector<bool> seamsJoiningNothing(const std::vector<SeamHalf>& seams, bool swept,
                                      const std::vector<uint64_t>& apart, const TileFrame& frame,
                                      const TileRect& read, const cv::Mat_<int>& regions) {
    std::vector<bool> nothing(seams.size(), false);
    if (!swept) return nothing;
    const auto region = [&](int64_t x, int64_t y) {
        return regions(static_cast<int>(y - read.y), static_cast<int>(x - read.x));
    };
    for (size_t i = 0; i < seams.size(); ++i) {
        if (seams[i].weight != 0) continue;
        EdgeEnds ends{};
        edgeEndsOf(seams[i].edge, frame.imageWidth, frame.imageHeight, ends);
        nothing[i] = listed(apart, seams[i].edge) ||
                     (!regions.empty() && region(ends.x0, ends.y0) != region(ends.x1, ends.y1));
    }
    return nothing;
}

// The seam edges as places among the sorted inner edges, ascending. After a flat sweep, a
// seam edge of weight 0 joins its sides from the start (place 0), or nothing: it never
// unsettles its segment, and is left out.
std::vector<SeamEvent> seamEvents(const std::vector<SeamHalf>& seams, const SortedEdges& sorted,
                                  const TileFrame& frame, bool swept,
                                  const std::vector<bool>& joinsNothing) {
    std::vector<SeamEvent> events;
    events.reserve(seams.size());
    for (size_t i = 0; i < seams.size(); ++i) {
        const SeamHalf& seam = seams[i];
        if (swept && seam.weight == 0 && joinsNothing[i]) continue;
        const uint32_t place =
            !swept || seam.weight != 0 ? seamPlace(sorted, frame, seam.weight, seam.edge) : 0;
        events.push_back({place, seam.pixel});
    }
    std::sort(events.begin(), events.end(),
              [](const SeamEvent& x, const SeamEvent& y) { return x.place < y.place; });
    return events;
}

// The region ids of the tile's pixels as one array (empty without regions).
HugeVector<int32_t> tileRegionsOf(const cv::Mat_<int>& regions, const cv::Rect& inside,
                                  BlockPool& pool) {
    HugeVector<int32_t> ids = pooledVector<int32_t>(pool);
    if (regions.empty()) return ids;
    ids.reserve(static_cast<size_t>(inside.area()));
    for (int y = inside.y; y < inside.y + inside.height; ++y) {
        ids.insert(ids.end(), regions[y] + inside.x, regions[y] + inside.x + inside.width);
    }
    return ids;
}

}  // namespace

TileFirstPass firstPassOf(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions, const std::vector<uint8_t>* sweep) {
    BlockPool pool;
    const LabTables lab;
    const Workspace workspace{pool, threadCountFor(tiledParameters(image).threads), false, &lab};
    const TileFirstPass pass = firstPassOf(image, tile, photo, regions, sweep, workspace);
    return TileFirstPass(pass);  // a copy: its lists leave the pool, which ends with this call
}

TileFirstPass firstPassOf(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions, const std::vector<uint8_t>* sweep,
                          const Workspace& workspace, std::vector<uint8_t> labelBuffer) {
    checkTiledImage(image);
    const TileRect own = tileRect(image, tile), read = tileReadRect(image, tile);
    checkTileInput(image, read, photo, regions);
    const std::vector<uint64_t> apart =
        sweep != nullptr ? flatEdgesApartNear(*sweep, image, own) : std::vector<uint64_t>();
    const Parameters parameters = tiledParameters(image);
    const TileFrame frame{image.width, image.height, own};
    const cv::Rect inside(static_cast<int>(own.x - read.x), static_cast<int>(own.y - read.y),
                          static_cast<int>(own.width), static_cast<int>(own.height));
    const cv::Mat tilePhoto = photo(inside);
    const int32_t width = tilePhoto.cols, height = tilePhoto.rows, pixels = width * height;

    TileChannels channels(photo, inside, parameters.sigma, workspace);
    const SortedGraph graph = sortedGraphOf(
        channels.tile(), width, height, [&] { channels.releaseTile(); }, workspace);
    const SortedEdges sorted = graph.view();
    const HugeVector<int32_t> tileRegions = tileRegionsOf(regions, inside, workspace.pool);
    TileForest forest(workspace.pool, pixels, parameters.threshold,
                      tileRegions.empty() ? nullptr : tileRegions.data());
    const std::vector<SeamHalf> seams = seamHalvesOf(frame, read.x, read.y, channels);
    const std::vector<bool> joinsNothing =
        seamsJoiningNothing(seams, sweep != nullptr, apart, frame, read, regions);
    const std::vector<SeamEvent> events =
        seamEvents(seams, sorted, frame, sweep != nullptr, joinsNothing);
    const int64_t decided =
        sweep == nullptr
            ? 0
            : uniteFlatEdges(forest, sorted, width, parameters.threshold,
                             [&](uint32_t edge) { return listed(apart, frame.globalEdge(edge)); });
    const HugeVector<KeptEdge> kept =
        mergeTile(forest, sorted, width, parameters.threshold, tiledSizeCap(image), decided, events,
                  workspace.pool);

    TileFirstPass pass;
    pass.segments = pooledVector<JoinSegment>(workspace.pool);
    pass.mergeEdges = pooledVector<JoinEdge>(workspace.pool);
    pass.cleanupEdges = pooledVector<JoinEdge>(workspace.pool);
    pass.swept = sweep != nullptr;
    pass.innerEdges = sorted.count;
    pass.keptEdges = static_cast<int64_t>(kept.size());
    std::vector<bool> inner;
    numberLocalSegments(forest, pixels, seams, pass, inner);
    const int32_t* ids = forest.parent;
    HugeVector<JoinEdge> halves = pooledVector<JoinEdge>(workspace.pool);
    HugeVector<JoinEdge> mergeHalves = pooledVector<JoinEdge>(workspace.pool);
    halves.reserve(seams.size());
    mergeHalves.reserve(seams.size());
    for (size_t i = 0; i < seams.size(); ++i) {
        const SeamHalf& seam = seams[i];
        halves.push_back(
            {seam.weight, seam.edge, static_cast<uint32_t>(ids[seam.pixel]), kAcrossSeam});
        // Both tiles of a seam edge that joins nothing leave it out of the merge.
        if (!joinsNothing[i]) mergeHalves.push_back(halves.back());
    }
    mergeByKey(keptJoinEdges(kept, sorted, frame, forest.segment, workspace.pool), mergeHalves,
               pass.mergeEdges);
    if (parameters.minSize > 1) {
        mergeByKey(
            innerCleanupEdges(ids, pass.segments, inner, parameters.minSize, frame, workspace.pool,
                              [&](const HugeVector<uint64_t>& marks) {
                                  return edgesTouching(marks, sorted, tilePhoto, channels,
                                                       *workspace.lab, workspace);
                              }),
            halves, pass.cleanupEdges);
    }
    pass.labels = std::move(labelBuffer);
    localLabelBytes(tile, own, ids, pass.segments.size(), pass.labels);
    return pass;
}

TileState segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                      const cv::Mat_<int>& regions) {
    return Segmenter().segmentTile(image, tile, photo, regions);
}

TileState segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                      const cv::Mat_<int>& regions, const std::vector<uint8_t>& sweep) {
    return Segmenter().segmentTile(image, tile, photo, regions, sweep);
}

namespace {

// A Segmenter's workspace made fit for a tile: the image's threads or else the Segmenter's
// (`threads`), the weight tables kept from the first tile on.
void fitForTile(Workspace& workspace, const TiledImage& image, int threads,
                std::vector<WeightIds>& weightTables) {
    const int own = tiledParameters(image).threads;
    workspace.threads = threadCountFor(own != 0 ? own : threads);
    workspace.labelsInSpentEdges = false;
    workspace.weightTables = &weightTables;
}

}  // namespace

TileState Segmenter::segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                                 const cv::Mat_<int>& regions) {
    TileState state;
    segmentTile(image, tile, photo, regions, nullptr, state);
    return state;
}

TileState Segmenter::segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                                 const cv::Mat_<int>& regions, const std::vector<uint8_t>& sweep) {
    TileState state;
    segmentTile(image, tile, photo, regions, &sweep, state);
    return state;
}

void Segmenter::segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                            const cv::Mat_<int>& regions, const std::vector<uint8_t>* sweep,
                            TileState& state) {
    Workspace workspace = Buffers::of(buffers, threadCount, true);
    fitForTile(workspace, image, threadCount, buffers->weightTables);
    TileFirstPass pass =
        firstPassOf(image, tile, photo, regions, sweep, workspace, std::move(state.labels));
    joinBytes(image, tile, pass.swept, pass.segments, pass.mergeEdges, pass.cleanupEdges,
              state.join);
    state.labels = std::move(pass.labels);
}

}  // namespace segmora
