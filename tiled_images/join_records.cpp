#include "join_records.h"

#include <cstring>

#include "tile_grid.h"

namespace segmora {

namespace {

constexpr char kJoinMagic[8] = {'S', 'G', 'M', 'J', 'O', 'I', 'N', '1'};

// The knobs that shape the labels, in the order the header holds them.
struct HeaderKnobs {
    uint32_t threshold, sigma, capDivisor, minSize;

    static HeaderKnobs of(const TiledImage& image) {
        const Parameters p = tiledParameters(image);
        return {floatBits(p.threshold), floatBits(p.sigma), static_cast<uint32_t>(p.capDivisor),
                static_cast<uint32_t>(p.minSize)};
    }
};

// The bits that hold every number from 0 to `most`.
int bitsFor(uint64_t most) {
    int bits = 0;
    while (bits < 64 && (most >> bits) != 0) ++bits;
    return bits;
}

// visit(begin, end) for the runs of one weight the edges are written in, none longer than
// kLongestJoinRun.
template <class Visit>
void forEachWeightRun(const HugeVector<JoinEdge>& edges, Visit&& visit) {
    for (size_t i = 0; i < edges.size();) {
        size_t end = i + 1;
        while (end < edges.size() && edges[end].weight == edges[i].weight &&
               end - i < kLongestJoinRun) {
            ++end;
        }
        visit(i, end);
        i = end;
    }
}

uint64_t weightRuns(const HugeVector<JoinEdge>& edges) {
    uint64_t runs = 0;
    forEachWeightRun(edges, [&](size_t, size_t) { ++runs; });
    return runs;
}

// A section's runs and records from `at` on; returns where they end.
uint8_t* putSection(uint8_t* at, const HugeVector<JoinEdge>& edges, const RecordShape& shape) {
    forEachWeightRun(edges, [&](size_t begin, size_t end) {
        storeBytes(at, edges[begin].weight, 4);
        storeBytes(at + 4, end - begin, 4);
        at += kJoinRunBytes;
        for (size_t i = begin; i < end; ++i, at += shape.bytes()) shape.put(at, edges[i]);
    });
    return at;
}

}  // namespace

RecordShape::RecordShape(const TiledImage& image, int64_t tile, uint64_t segments)
    : rect(tileRect(image, tile)), imageWidth(image.width), imageHeight(image.height) {
    xBits = bitsFor(static_cast<uint64_t>(rect.width));
    const int yBits = bitsFor(static_cast<uint64_t>(rect.height) + 1);
    edgeBytes = 2 + xBits + yBits <= 32 ? 4 : 8;
    idBytes = idBytesFor(segments);
}

void RecordShape::put(uint8_t* at, const JoinEdge& edge) const {
    const uint64_t pixel = edge.edge >> 2, width = static_cast<uint64_t>(imageWidth);
    const uint64_t x = pixel % width + 1 - static_cast<uint64_t>(rect.x);
    const uint64_t y = pixel / width + 1 - static_cast<uint64_t>(rect.y);
    storeBytes(at, ((y << xBits | x) << 2) | (edge.edge & 3), edgeBytes);
    storeBytes(at + edgeBytes, edge.a, idBytes);
    storeBytes(at + edgeBytes + idBytes, edge.b, idBytes);
}

bool RecordShape::get(const uint8_t* at, uint32_t weight, JoinEdge& edge) const {
    const uint64_t local = getFixedBytes(at, edgeBytes);
    const int64_t lx = static_cast<int64_t>((local >> 2) & ((uint64_t{1} << xBits) - 1));
    const uint64_t ly = local >> (2 + xBits);
    if (lx > rect.width || ly > static_cast<uint64_t>(rect.height) + 1) return false;
    const int64_t x = rect.x - 1 + lx, y = rect.y - 1 + static_cast<int64_t>(ly);
    if (x < 0 || y < 0 || y >= imageHeight) return false;
    const uint64_t none = (uint64_t{1} << (8 * idBytes)) - 1;
    const uint64_t a = getFixedBytes(at + edgeBytes, idBytes);
    const uint64_t b = getFixedBytes(at + edgeBytes + idBytes, idBytes);
    edge = JoinEdge{weight, static_cast<uint64_t>(y * imageWidth + x) * 4 + (local & 3),
                    a == none ? kAcrossSeam : static_cast<uint32_t>(a),
                    b == none ? kAcrossSeam : static_cast<uint32_t>(b)};
    return true;
}

void putJoinHeader(std::vector<uint8_t>& out, const TiledImage& image, int64_t tile,
                   const JoinCounts& counts) {
    putMagic(out, kJoinMagic);
    putU32(out, kJoinFormatVersion);
    putU32(out, (image.withRegions ? 1u : 0u) | (counts.swept ? 2u : 0u));
    putU64(out, static_cast<uint64_t>(tile));
    for (const int64_t side : {image.width, image.height, image.tileWidth, image.tileHeight}) {
        putU64(out, static_cast<uint64_t>(side));
    }
    const HeaderKnobs knobs = HeaderKnobs::of(image);
    for (const uint32_t knob : {knobs.threshold, knobs.sigma, knobs.capDivisor, knobs.minSize}) {
        putU32(out, knob);
    }
    putU64(out, counts.segments);
    putU64(out, counts.mergeEdges);
    putU64(out, counts.cleanupEdges);
    putU64(out, counts.mergeRuns);
    putU64(out, counts.cleanupRuns);
    putU64(out, counts.length());
}

void joinBytes(const TiledImage& image, int64_t tile, bool swept,
               const HugeVector<JoinSegment>& segments, const HugeVector<JoinEdge>& mergeEdges,
               const HugeVector<JoinEdge>& cleanupEdges, std::vector<uint8_t>& out) {
    const RecordShape shape(image, tile, segments.size());
    JoinCounts full;
    full.segments = segments.size();
    full.mergeEdges = mergeEdges.size();
    full.cleanupEdges = cleanupEdges.size();
    full.swept = swept;
    full.mergeRuns = weightRuns(mergeEdges);
    full.cleanupRuns = weightRuns(cleanupEdges);
    full.recordBytes = shape.bytes();
    out.clear();
    reserveOnHugePages(out, full.length());
    putJoinHeader(out, image, tile, full);
    out.resize(full.length() - 8);
    uint8_t* at = out.data() + kJoinHeaderBytes;
    for (const JoinSegment& segment : segments) {
        storeBytes(at, segment.size, 4);
        storeBytes(at + 4, floatBits(segment.threshold), 4);
        storeBytes(at + 8, static_cast<uint32_t>(segment.region), 4);
        storeBytes(at + 12, segment.firstPixel, 4);
        at += kJoinSegmentBytes;
    }
    putSection(putSection(at, mergeEdges, shape), cleanupEdges, shape);
    sealBytes(out);
}

JoinCounts readJoinHeader(SealedReader& in, const TiledImage& image, int64_t tile) {
    const std::vector<uint8_t> header = in.header(kJoinHeaderBytes);
    if (std::memcmp(header.data(), kJoinMagic, 8) != 0) in.refuse("are not a tile's join bytes");
    if (getBytes(&header[8], 4) != kJoinFormatVersion) {
        in.refuse("are of format version " + std::to_string(getBytes(&header[8], 4)) + ", not " +
                  std::to_string(kJoinFormatVersion));
    }
    std::vector<uint8_t> expected;
    putJoinHeader(expected, image, tile, JoinCounts{});
    if (getBytes(&header[16], 8) != static_cast<uint64_t>(tile)) {
        in.refuse("belong to tile " + std::to_string(getBytes(&header[16], 8)));
    }
    JoinCounts counts;
    counts.swept = (header[12] & 2) != 0;
    expected[12] = static_cast<uint8_t>(expected[12] | (header[12] & 2));
    if (std::memcmp(header.data(), expected.data(), 72) != 0) {
        in.refuse("were made for another image, tile shape or knobs");
    }
    counts.segments = getBytes(&header[72], 8);
    counts.mergeEdges = getBytes(&header[80], 8);
    counts.cleanupEdges = getBytes(&header[88], 8);
    counts.mergeRuns = getBytes(&header[96], 8);
    counts.cleanupRuns = getBytes(&header[104], 8);
    counts.recordBytes = RecordShape(image, tile, counts.segments).bytes();
    const TileRect rect = tileRect(image, tile);
    const uint64_t pixels = static_cast<uint64_t>(rect.width * rect.height);
    // Every edge of the tile at most twice (once for each section), its seams included.
    const uint64_t mostEdges =
        2 * (4 * pixels + 4 * static_cast<uint64_t>(rect.width + rect.height) + 4);
    if (counts.segments < 1 || counts.segments > pixels || counts.mergeEdges > mostEdges ||
        counts.cleanupEdges > mostEdges || counts.mergeRuns > counts.mergeEdges ||
        counts.cleanupRuns > counts.cleanupEdges || getBytes(&header[112], 8) != counts.length()) {
        in.refuse("are altered (their counts do not fit the tile)");
    }
    in.expectLength(counts.length());
    return counts;
}

JoinSegment getJoinSegment(const uint8_t* bytes) {
    return JoinSegment{static_cast<uint32_t>(getBytes(bytes, 4)),
                       bitsFloat(static_cast<uint32_t>(getBytes(bytes + 4, 4))),
                       static_cast<int32_t>(getBytes(bytes + 8, 4)),
                       static_cast<uint32_t>(getBytes(bytes + 12, 4))};
}

}  // namespace segmora
