#include "flat_edges.h"

#include <cstring>
#include <stdexcept>

#include "tile_grid.h"

namespace segmora {

void putSweepHeader(std::vector<uint8_t>& out, const char (&magic)[8], const TiledImage& image) {
    putMagic(out, magic);
    putU32(out, kSweepFormatVersion);
    putU32(out, image.withRegions ? 1 : 0);
    putU64(out, static_cast<uint64_t>(image.width));
    putU64(out, static_cast<uint64_t>(image.height));
    putU64(out, static_cast<uint64_t>(tiledSizeCap(image)));
    putU32(out, floatBits(tiledParameters(image).sigma));
    putU32(out, 0);
}

int64_t flatRowsNeeded(const TiledImage& image, const TileRect& own) {
    return std::min(own.y + own.height + 1, image.height);
}

const uint8_t* checkSweepHeader(const std::vector<uint8_t>& bytes, const char (&magic)[8],
                                const TiledImage& image, const std::string& what) {
    checkSealed(bytes, what);
    if (bytes.size() < kSweepHeaderBytes + 8 || std::memcmp(bytes.data(), magic, 8) != 0) {
        throw std::invalid_argument(what + " are not what a flat sweep writes");
    }
    if (getBytes(&bytes[8], 4) != kSweepFormatVersion) {
        throw std::invalid_argument(what + " are of format version " +
                                    std::to_string(getBytes(&bytes[8], 4)) + ", not " +
                                    std::to_string(kSweepFormatVersion));
    }
    std::vector<uint8_t> expected;
    putSweepHeader(expected, magic, image);
    if (std::memcmp(bytes.data(), expected.data(), kSweepHeaderBytes) != 0) {
        throw std::invalid_argument(what + " were made for another image or knobs");
    }
    return bytes.data() + kSweepHeaderBytes;
}
uint64_t ByteCursor::take(int count) {
    need(static_cast<uint64_t>(count));
    const uint64_t value = getBytes(at, count);
    at += count;
    return value;
}

const uint8_t* ByteCursor::skip(uint64_t count) {
    need(count);
    const uint8_t* from = at;
    at += count;
    return from;
}

void ByteCursor::finish() const {
    if (at != end) throw std::invalid_argument(what + " hold more than their counts say");
}

void ByteCursor::need(uint64_t count) const {
    if (count > static_cast<uint64_t>(end - at)) {
        throw std::invalid_argument(what + " are altered (a section runs past their end)");
    }
}

void EdgeRuns::put(std::vector<uint8_t>& out) const {
    for (const std::vector<Run>& list : runs) putU64(out, list.size());
    for (const std::vector<Run>& list : runs) {
        for (const Run& run : list) {
            putU64(out, run.first);
            putU64(out, run.count);
        }
    }
}

void EdgeRuns::take(ByteCursor& in, const TiledImage& image, const std::string& what) {
    const uint64_t pixels = static_cast<uint64_t>(image.width * image.height);
    std::array<uint64_t, 4> counts{};
    for (uint64_t& count : counts) count = in.take(8);
    for (size_t d = 0; d < 4; ++d) {
        uint64_t end = 0;
        for (uint64_t r = 0; r < counts[d]; ++r) {
            const Run run{in.take(8), in.take(8)};
            if (run.first < end || run.count < 1 || run.first >= pixels ||
                run.count > pixels - run.first) {
                throw std::invalid_argument(what +
                                            " are altered (edges out of order or outside the "
                                            "image)");
            }
            end = run.first + run.count;
            runs[d].push_back(run);
        }
    }
}

std::vector<uint64_t> flatEdgesApartNear(const std::vector<uint8_t>& sweep, const TiledImage& image,
                                         const TileRect& own) {
    ByteCursor in(sweep, checkSweepHeader(sweep, kSweepMagic, image, kSweepName), kSweepName);
    const uint64_t covered = in.take(8);
    const int64_t needed = flatRowsNeeded(image, own);
    if (covered > static_cast<uint64_t>(image.height)) {
        throw std::invalid_argument(kSweepName + " are altered (they cover " +
                                    std::to_string(covered) + " rows of " +
                                    std::to_string(image.height) + ")");
    }
    if (static_cast<int64_t>(covered) < needed) {
        throw std::invalid_argument(kSweepName + " cover the first " + std::to_string(covered) +
                                    " rows; the tile needs " + std::to_string(needed));
    }
    EdgeRuns apart;
    apart.take(in, image, kSweepName);
    in.finish();
    const int64_t width = image.width;
    // The first pixels of the edges that may touch the tile: rows own.y - 1 .. own.y +
    // own.height, columns own.x - 1 .. own.x + own.width.
    const int64_t top = std::max<int64_t>(own.y - 1, 0), bottom = own.y + own.height + 1;
    const int64_t left = std::max<int64_t>(own.x - 1, 0);
    const int64_t right = std::min(own.x + own.width + 1, width);
    std::vector<uint64_t> near;
    for (size_t d = 0; d < 4; ++d) {
        const std::vector<EdgeRuns::Run>& runs = apart.runs[d];
        auto run = std::partition_point(runs.begin(), runs.end(), [&](const EdgeRuns::Run& r) {
            return static_cast<int64_t>(r.first + r.count) <= top * width;
        });
        for (; run != runs.end() && static_cast<int64_t>(run->first) < bottom * width; ++run) {
            const int64_t end =
                std::min(static_cast<int64_t>(run->first + run->count), bottom * width);
            for (int64_t y = std::max(static_cast<int64_t>(run->first) / width, top);
                 y * width < end; ++y) {
                const int64_t from = std::max({static_cast<int64_t>(run->first), y * width + left});
                const int64_t to = std::min(end, y * width + right);
                for (int64_t p = from; p < to; ++p) {
                    const uint64_t edge = static_cast<uint64_t>(p) * 4 + d;
                    EdgeEnds ends{};
                    if (edgeEndsOf(edge, image.width, image.height, ends) &&
                        (rectHolds(own, ends.x0, ends.y0) || rectHolds(own, ends.x1, ends.y1))) {
                        near.push_back(edge);
                    }
                }
            }
        }
    }
    std::sort(near.begin(), near.end());
    return near;
}

}  // namespace segmora
