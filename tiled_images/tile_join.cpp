#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "join_records.h"
#include "join_step_queue.h"
#include "joined_segments.h"
#include "parallel.h"
#include "stream_tournament.h"
#include "tile_frame.h"
#include "tile_grid.h"
#include "tile_labels.h"

namespace segmora {

namespace {

// One tile's join bytes, read front to back: the header and segments, then the records of
// one section after the other, each checked before it is used.
class TileJoinReader {
  public:
    TileJoinReader(const TiledImage& image, int64_t tile, std::unique_ptr<std::istream> stream)
        : image(image),
          tile(tile),
          rect(tileRect(image, tile)),
          stream(std::move(stream)),
          reader(*this->stream, tileName(tile) + ": join bytes"),
          counts(readJoinHeader(reader, image, tile)),
          shape(image, tile, counts.segments) {}

    // Adds the tile's segments to `segments`, the first as `offset`.
    void addSegments(JoinedSegments& segments) {
        offset = segments.count();
        for (uint64_t s = 0; s < counts.segments; ++s) {
            const JoinSegment segment = getJoinSegment(reader.next(kJoinSegmentBytes));
            const int64_t local = segment.firstPixel;
            if (segment.size < 1 || local >= rect.width * rect.height ||
                (!image.withRegions && segment.region != 0)) {
                reader.refuse("are altered (a segment that cannot be)");
            }
            segments.add(segment.size, segment.threshold, segment.region,
                         static_cast<uint64_t>((rect.y + local / rect.width) * image.width +
                                               rect.x + local % rect.width));
        }
    }

    // Starts the merge section, then the clean-up section; false when it is empty.
    bool startSection(bool cleanup) {
        left = cleanup ? counts.cleanupEdges : counts.mergeEdges;
        runsLeft = cleanup ? counts.cleanupRuns : counts.mergeRuns;
        runLeft = 0;
        started = false;
        return advance();
    }

    // Reads the section's next record into `current`, and fetches its segments' entries
    // ahead when `fetch` is set; false at the section's end. Whatever could make the join
    // read outside its arrays or pair seam halves wrongly is checked here; the check sum
    // catches the rest.
    bool advance() {
        if (left == 0) {
            if (runsLeft != 0 || runLeft != 0) reader.refuse("are altered (runs left over)");
            return false;
        }
        --left;
        if (runLeft == 0) startRun();
        --runLeft;
        JoinEdge edge{};
        if (!shape.get(reader.next(shape.bytes()), runWeight, edge)) {
            reader.refuse("are altered (an edge that is not the tile's)");
        }
        if (started && !current.before(edge)) reader.refuse("are altered (edges out of order)");
        const bool seam = edge.b == kAcrossSeam;
        if (edge.a >= counts.segments || (!seam && edge.b >= counts.segments) ||
            (seam && !isSeamHalf(edge))) {
            reader.refuse("are altered (an edge that is not the tile's)");
        }
        if (fetch != nullptr) {
            fetch->prefetch(offset + edge.a);
            if (!seam) fetch->prefetch(offset + edge.b);
        }
        current = edge;
        started = true;
        return true;
    }

    // The next run's weight and record count.
    void startRun() {
        if (runsLeft == 0) reader.refuse("are altered (more records than runs)");
        --runsLeft;
        const uint8_t* at = reader.next(kJoinRunBytes);
        runWeight = static_cast<uint32_t>(getBytes(at, 4));
        runLeft = getBytes(at + 4, 4);
        if (runLeft == 0 || runLeft > left + 1) reader.refuse("are altered (a run that cannot be)");
    }

    // Whether a seam half names an edge with one end in the tile, one outside.
    bool isSeamHalf(const JoinEdge& half) const {
        EdgeEnds ends{};
        return edgeEndsOf(half.edge, image.width, image.height, ends) &&
               rectHolds(rect, ends.x0, ends.y0) != rectHolds(rect, ends.x1, ends.y1);
    }

    // The tile across the seam of a seam half of this tile.
    int64_t tileAcross(const JoinEdge& half) const {
        EdgeEnds ends{};
        edgeEndsOf(half.edge, image.width, image.height, ends);
        const bool firstHere = rectHolds(rect, ends.x0, ends.y0);
        const int64_t x = firstHere ? ends.x1 : ends.x0, y = firstHere ? ends.y1 : ends.y0;
        const int64_t across = (image.width + image.tileWidth - 1) / image.tileWidth;
        return y / image.tileHeight * across + x / image.tileWidth;
    }

    const TiledImage& image;
    const int64_t tile;
    const TileRect rect;
    std::unique_ptr<std::istream> stream;
    SealedReader reader;
    const JoinCounts counts;
    const RecordShape shape;
    uint64_t offset = 0;
    uint64_t left = 0;      // records
    uint64_t runsLeft = 0;  // runs not started
    uint64_t runLeft = 0;   // records of the run
    uint32_t runWeight = 0;
    bool started = false;
    JoinEdge current{};
    const JoinedSegments* fetch = nullptr;
};

// A tile's next record in the order of all tiles' records: its key and the tile's index in
// two words (edge numbers stay below 2^50, tiles below 2^32), compared as one number.
using Pending = StreamTournament::Key;
Pending pendingOf(const JoinEdge& edge, size_t tile) {
    return {uint64_t{edge.weight} << 32 | edge.edge >> 32,
            edge.edge << 32 | static_cast<uint32_t>(tile)};
}
size_t tileOf(const Pending& key) {
    return static_cast<uint32_t>(key.low);
}
bool sameKey(const Pending& x, const Pending& y) {
    return x.high == y.high && x.low >> 32 == y.low >> 32;
}

using Readers = std::vector<std::unique_ptr<TileJoinReader>>;

// Visits one section of every tile (the merge's or the clean-up's) in the image's edge
// order, all tiles' records at once: visit(weight, a, b) with the two ends' dense segment
// ids. The two halves of a seam edge come one after the other (equal keys) and make one.
template <class Visit>
void visitInOrder(Readers& tiles, bool cleanup, Visit&& visit) {
    std::vector<Pending> first(tiles.size(), StreamTournament::kEnded);
    for (size_t t = 0; t < tiles.size(); ++t) {
        if (tiles[t]->startSection(cleanup)) {
            first[t] = pendingOf(tiles[t]->current, t);
        }
    }
    StreamTournament queue(std::move(first));
    const auto take = [&](TileJoinReader*& from) {
        const size_t t = queue.winner();
        from = tiles[t].get();
        const JoinEdge edge = from->current;
        queue.replaceWinner(from->advance() ? pendingOf(from->current, t)
                                            : StreamTournament::kEnded);
        return edge;
    };
    while (!queue.empty()) {
        TileJoinReader* here = nullptr;
        const JoinEdge edge = take(here);
        if (edge.b != kAcrossSeam) {
            visit(bitsFloat(edge.weight), here->offset + edge.a, here->offset + edge.b);
            continue;
        }
        const int64_t across = here->tileAcross(edge);
        if (queue.empty() || !sameKey(queue.winnerKey(), pendingOf(edge, 0)) ||
            static_cast<int64_t>(tileOf(queue.winnerKey())) != across) {
            here->reader.refuse("hold a seam edge that " + tileName(across) +
                                "'s join bytes do not (tiles of different runs?)");
        }
        TileJoinReader* there = nullptr;
        const JoinEdge other = take(there);
        if (other.b != kAcrossSeam) there->reader.refuse("are altered (a seam edge inside)");
        visit(bitsFloat(edge.weight), here->offset + edge.a, there->offset + other.a);
    }
}

// How many steps ahead the merging side fetches the segments' entries.
constexpr size_t kStepsAhead = 16;

// Steps one batch at a time, fetching the entries of the steps ahead.
template <class Visit>
void visitBatch(const std::vector<JoinStep>& batch, const JoinedSegments& segments, Visit& visit) {
    for (size_t i = 0; i < batch.size(); ++i) {
        if (i + kStepsAhead < batch.size()) {
            segments.prefetch(batch[i + kStepsAhead].a);
            segments.prefetch(batch[i + kStepsAhead].b);
        }
        visit(batch[i].weight, batch[i].a, batch[i].b);
    }
}

// visitInOrder with the reading and ordering of the records on a thread of their own,
// `visit` on this one; the same steps in the same order. Whatever the reading side throws
// is thrown here once the steps before it are visited.
template <class Visit>
void visitPipelined(Readers& tiles, bool cleanup, const JoinedSegments& segments, Visit&& visit) {
    JoinStepQueue queue;
    std::thread reading([&] {
        try {
            std::vector<JoinStep> batch = queue.freshBatch();
            visitInOrder(tiles, cleanup, [&](float weight, uint64_t a, uint64_t b) {
                batch.push_back({weight, a, b});
                if (batch.size() == JoinStepQueue::kBatchSteps) {
                    queue.put(std::move(batch));
                    batch = queue.freshBatch();
                }
            });
            queue.put(std::move(batch));
            queue.close();
        } catch (...) {
            queue.close(std::current_exception());
        }
    });
    try {
        std::vector<JoinStep> batch;
        while (queue.take(batch)) {
            visitBatch(batch, segments, visit);
            queue.recycle(std::move(batch));
        }
    } catch (...) {
        queue.abandon();
        reading.join();
        throw;
    }
    reading.join();
}

// One section of every tile, read on a thread of its own when `threads` > 1.
template <class Visit>
void visitSection(Readers& tiles, bool cleanup, JoinedSegments& segments, int threads,
                  Visit&& visit) {
    if (threads > 1) {
        visitPipelined(tiles, cleanup, segments, visit);
    } else {
        for (auto& tile : tiles) tile->fetch = &segments;  // a record's entries as it is read
        visitInOrder(tiles, cleanup, visit);
    }
}

}  // namespace

TiledJoin joinTiles(const TiledImage& image,
                    const std::function<std::unique_ptr<std::istream>(int64_t tile)>& openJoin) {
    const int64_t tileTotal = tileCount(image);
    if (tileTotal >= (int64_t{1} << 32)) {
        throw std::invalid_argument("joining " + std::to_string(tileTotal) +
                                    " tiles is more than 2^32 streams at once");
    }
    const Parameters parameters = tiledParameters(image);
    Readers tiles;
    JoinedSegments segments;
    for (int64_t tile = 0; tile < tileTotal; ++tile) {
        std::unique_ptr<std::istream> stream = openJoin(tile);
        if (!stream || !*stream)
            throw std::invalid_argument(tileName(tile) + ": join bytes cannot be read");
        tiles.push_back(std::make_unique<TileJoinReader>(image, tile, std::move(stream)));
    }
    uint64_t segmentTotal = 0;
    for (const auto& tile : tiles) segmentTotal += tile->counts.segments;
    try {  // the counts are not checked yet: a claim beyond memory is left to the reading
        segments.reserve(segmentTotal);
    } catch (const std::bad_alloc&) {
    }
    for (auto& tile : tiles) tile->addSegments(segments);
    const bool swept = tiles.front()->counts.swept;
    for (auto& tile : tiles) {
        if (tile->counts.swept != swept) {
            tile->reader.refuse(swept ? "were made without the flat sweep tile 0 took"
                                      : "were made after a flat sweep tile 0 did not take");
        }
    }
    const int64_t sizeCap = tiledSizeCap(image);
    // After a flat sweep the edges of weight 0 that reach the join all join their sides (a
    // segment of the one-piece run is never above the cap), which the rule says too.
    const int threads = threadCountFor(parameters.threads);
    visitSection(tiles, false, segments, threads, [&](float weight, uint64_t a, uint64_t b) {
        segments.merge(a, b, weight, parameters.threshold, sizeCap);
    });
    visitSection(tiles, true, segments, threads, [&](float, uint64_t a, uint64_t b) {
        segments.absorb(a, b, parameters.minSize);
    });
    for (auto& tile : tiles) tile->reader.finish();
    TiledJoin join;
    join.count = segments.rankRoots();
    for (auto& tile : tiles) {
        std::vector<int64_t> labels(tile->counts.segments);  // one tile's: small beside the rest
        for (uint64_t s = 0; s < labels.size(); ++s) labels[s] = segments.labelOf(tile->offset + s);
        join.tables.push_back(labelTableBytes(tile->tile, labels, join.count));
    }
    return join;
}

}  // namespace segmora
