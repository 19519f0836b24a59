#include "tile_labels.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "huge_page_vectors.h"
#include "tile_bytes.h"
#include "tile_grid.h"

namespace segmora {

namespace {

constexpr char kLabelsMagic[8] = {'S', 'G', 'M', 'L', 'A', 'B', 'L', '1'};
constexpr char kTableMagic[8] = {'S', 'G', 'M', 'T', 'A', 'B', 'L', '1'};
constexpr uint32_t kLabelsFormatVersion = 3;  // 2: the check sum of four sums; 3: runs
constexpr size_t kLabelsHeaderBytes = 56;
constexpr int kRunLengthBytes = 2;
constexpr size_t kLongestRun = (size_t{1} << (8 * kRunLengthBytes)) - 1;
constexpr size_t kTableHeaderBytes = 40;

// The parts of sealed bytes of one kind, refused unless whole and of that kind.
struct SealedParts {
    const uint8_t* header;
    const uint8_t* body;
    size_t bodyBytes;
};
SealedParts partsOf(const std::vector<uint8_t>& bytes, const char* magic, size_t headerBytes,
                    const std::string& what) {
    checkSealed(bytes, what);
    if (bytes.size() < headerBytes + 8 || std::memcmp(bytes.data(), magic, 8) != 0) {
        throw std::invalid_argument(what + " are of another kind");
    }
    if (getBytes(bytes.data() + 8, 4) != kLabelsFormatVersion) {
        throw std::invalid_argument(what + " are of another format version");
    }
    return {bytes.data(), bytes.data() + headerBytes, bytes.size() - headerBytes - 8};
}

// visit(id, length) for the runs of equal ids along each row, none longer than kLongestRun.
template <class Visit>
void forEachRun(const int32_t* ids, size_t width, size_t height, Visit&& visit) {
    for (size_t y = 0; y < height; ++y) {
        const int32_t* row = ids + y * width;
        for (size_t x = 0; x < width;) {
            const size_t end = std::min(width, x + kLongestRun);
            size_t next = x + 1;
            while (next < end && row[next] == row[x]) ++next;
            visit(row[x], next - x);
            x = next;
        }
    }
}

}  // namespace

void localLabelBytes(int64_t tile, const TileRect& rect, const int32_t* ids, uint64_t segments,
                     std::vector<uint8_t>& out) {
    const size_t width = static_cast<size_t>(rect.width), height = static_cast<size_t>(rect.height);
    const int idBytes = idBytesFor(segments);
    const int runBytes = idBytes + kRunLengthBytes;
    uint64_t runs = 0;
    forEachRun(ids, width, height, [&](int32_t, size_t) { ++runs; });
    const size_t body = static_cast<size_t>(runs) * static_cast<size_t>(runBytes);
    out.clear();
    reserveOnHugePages(out, kLabelsHeaderBytes + body + 8);
    putMagic(out, kLabelsMagic);
    putU32(out, kLabelsFormatVersion);
    putU32(out, static_cast<uint32_t>(idBytes));
    putU64(out, static_cast<uint64_t>(tile));
    putU64(out, static_cast<uint64_t>(rect.width));
    putU64(out, static_cast<uint64_t>(rect.height));
    putU64(out, segments);
    putU64(out, runs);
    out.resize(kLabelsHeaderBytes + body);
    uint8_t* at = out.data() + kLabelsHeaderBytes;
    forEachRun(ids, width, height, [&](int32_t id, size_t length) {
        storeBytes(at, static_cast<uint32_t>(id), idBytes);
        storeBytes(at + idBytes, length, kRunLengthBytes);
        at += runBytes;
    });
    sealBytes(out);
}

std::vector<uint8_t> labelTableBytes(int64_t tile, const std::vector<int64_t>& labels,
                                     int64_t count) {
    const int labelBytes = count < (int64_t{1} << 31) ? 4 : 8;
    std::vector<uint8_t> out;
    reserveOnHugePages(out,
                       kTableHeaderBytes + labels.size() * static_cast<size_t>(labelBytes) + 8);
    putMagic(out, kTableMagic);
    putU32(out, kLabelsFormatVersion);
    putU32(out, static_cast<uint32_t>(labelBytes));
    putU64(out, static_cast<uint64_t>(tile));
    putU64(out, labels.size());
    putU64(out, static_cast<uint64_t>(count));
    size_t at = out.size();
    out.resize(at + labels.size() * static_cast<size_t>(labelBytes));
    for (const int64_t label : labels) {
        storeBytes(&out[at], static_cast<uint64_t>(label), labelBytes);
        at += static_cast<size_t>(labelBytes);
    }
    sealBytes(out);
    return out;
}

namespace {

// `count` elements: in the vector's own memory when it holds them, else on fresh huge pages.
template <class T>
void resizeKeepingMemory(std::vector<T>& vector, size_t count) {
    if (vector.capacity() < count) {
        vector = std::vector<T>();
        reserveOnHugePages(vector, count);
    }
    vector.resize(count);
}

// The runs' labels, pixel by pixel, into `out`; refused unless they cover the tile exactly
// with its own segments.
template <class T>
void fillRuns(const SealedParts& ids, uint64_t idBytes, uint64_t runs,
              const HugeVector<int64_t>& labelOf, uint64_t pixels, const std::string& name,
              std::vector<T>& out) {
    resizeKeepingMemory(out, pixels);
    const int width = static_cast<int>(idBytes);
    const uint8_t* at = ids.body;
    uint64_t filled = 0;
    for (uint64_t r = 0; r < runs; ++r, at += idBytes + kRunLengthBytes) {
        const uint64_t id = getFixedBytes(at, width);
        const uint64_t length = getBytes(at + width, kRunLengthBytes);
        if (id >= labelOf.size()) {
            throw std::invalid_argument(name +
                                        ": label bytes hold a segment the tile does not have");
        }
        if (length == 0 || length > pixels - filled) {
            throw std::invalid_argument(name + ": label bytes do not fit the tile's shape");
        }
        std::fill_n(out.data() + filled, length, static_cast<T>(labelOf[id]));
        filled += length;
    }
    if (filled != pixels) {
        throw std::invalid_argument(name + ": label bytes do not fit the tile's shape");
    }
}

}  // namespace

TileLabels labelTile(const TiledImage& image, int64_t tile, const std::vector<uint8_t>& labels,
                     const std::vector<uint8_t>& table, int64_t count) {
    TileLabels result;
    labelTile(image, tile, labels, table, count, result);
    return result;
}

void labelTile(const TiledImage& image, int64_t tile, const std::vector<uint8_t>& labels,
               const std::vector<uint8_t>& table, int64_t count, TileLabels& result) {
    const TileRect rect = tileRect(image, tile);
    const std::string name = tileName(tile);
    const SealedParts ids =
        partsOf(labels, kLabelsMagic, kLabelsHeaderBytes, name + ": label bytes");
    const SealedParts map = partsOf(table, kTableMagic, kTableHeaderBytes, name + ": table bytes");
    const uint64_t idBytes = getBytes(ids.header + 12, 4),
                   labelBytes = getBytes(map.header + 12, 4);
    const uint64_t segments = getBytes(ids.header + 40, 8);
    const uint64_t pixels = static_cast<uint64_t>(rect.width * rect.height);
    if (getBytes(ids.header + 16, 8) != static_cast<uint64_t>(tile) ||
        getBytes(map.header + 16, 8) != static_cast<uint64_t>(tile)) {
        throw std::invalid_argument(name + ": label or table bytes belong to another tile");
    }
    if (getBytes(ids.header + 24, 8) != static_cast<uint64_t>(rect.width) ||
        getBytes(ids.header + 32, 8) != static_cast<uint64_t>(rect.height) ||
        idBytes != static_cast<uint64_t>(idBytesFor(segments))) {
        throw std::invalid_argument(name + ": label bytes do not fit the tile's shape");
    }
    if (count < 1 || getBytes(map.header + 32, 8) != static_cast<uint64_t>(count) ||
        getBytes(map.header + 24, 8) != segments ||
        labelBytes != (count < (int64_t{1} << 31) ? 4u : 8u) ||
        map.bodyBytes != segments * labelBytes) {
        throw std::invalid_argument(name +
                                    ": table bytes do not match the label bytes or the count");
    }
    HugeVector<int64_t> labelOf(static_cast<size_t>(segments));
    for (size_t s = 0; s < labelOf.size(); ++s) {
        labelOf[s] =
            static_cast<int64_t>(getBytes(map.body + s * labelBytes, static_cast<int>(labelBytes)));
        if (labelOf[s] < 1 || labelOf[s] > count) {
            throw std::invalid_argument(name + ": table bytes hold a label outside 1 .. count");
        }
    }
    const uint64_t runs = getBytes(ids.header + 48, 8);
    if (ids.bodyBytes / (idBytes + kRunLengthBytes) != runs ||
        ids.bodyBytes % (idBytes + kRunLengthBytes) != 0) {
        throw std::invalid_argument(name + ": label bytes do not hold the runs they count");
    }
    if (labelBytes == 4) {
        result.labels64.clear();
        fillRuns(ids, idBytes, runs, labelOf, pixels, name, result.labels32);
    } else {
        result.labels32.clear();
        fillRuns(ids, idBytes, runs, labelOf, pixels, name, result.labels64);
    }
}

}  // namespace segmora
