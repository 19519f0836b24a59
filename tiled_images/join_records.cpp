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

}  // namespace

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
    putU64(out, counts.length());
}

void joinBytes(const TiledImage& image, int64_t tile, const JoinCounts& counts,
               const HugeVector<JoinSegment>& segments, const HugeVector<JoinEdge>& mergeEdges,
               const HugeVector<JoinEdge>& cleanupEdges, std::vector<uint8_t>& out) {
    out.clear();
    reserveOnHugePages(out, counts.length());
    putJoinHeader(out, image, tile, counts);
    out.resize(counts.length() - 8);
    uint8_t* at = out.data() + kJoinHeaderBytes;
    for (const JoinSegment& segment : segments) {
        storeBytes(at, segment.size, 4);
        storeBytes(at + 4, floatBits(segment.threshold), 4);
        storeBytes(at + 8, static_cast<uint32_t>(segment.region), 4);
        storeBytes(at + 12, segment.firstPixel, 4);
        at += kJoinSegmentBytes;
    }
    for (const HugeVector<JoinEdge>* section : {&mergeEdges, &cleanupEdges}) {
        for (const JoinEdge& edge : *section) {
            storeBytes(at, edge.weight, 4);
            storeBytes(at + 4, edge.edge, 8);
            storeBytes(at + 12, edge.a, 4);
            storeBytes(at + 16, edge.b, 4);
            at += kJoinEdgeBytes;
        }
    }
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
    const TileRect rect = tileRect(image, tile);
    const uint64_t pixels = static_cast<uint64_t>(rect.width * rect.height);
    // Every edge of the tile at most twice (once for each section), its seams included.
    const uint64_t mostEdges =
        2 * (4 * pixels + 4 * static_cast<uint64_t>(rect.width + rect.height) + 4);
    if (counts.segments < 1 || counts.segments > pixels || counts.mergeEdges > mostEdges ||
        counts.cleanupEdges > mostEdges || getBytes(&header[96], 8) != counts.length()) {
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

JoinEdge getJoinEdge(const uint8_t* bytes) {
    return JoinEdge{static_cast<uint32_t>(getBytes(bytes, 4)), getBytes(bytes + 4, 8),
                    static_cast<uint32_t>(getBytes(bytes + 12, 4)),
                    static_cast<uint32_t>(getBytes(bytes + 16, 4))};
}

}  // namespace segmora
