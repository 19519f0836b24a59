#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "block_pool.h"
#include "edge_weights.h"
#include "flat_edges.h"
#include "lab_conversion.h"
#include "parallel.h"
#include "photo_lab_planes.h"
#include "segment_forest.h"
#include "tile_bytes.h"
#include "tile_channels.h"
#include "tile_grid.h"

namespace segmora {

namespace {

// Where an edge of each direction (right, below, below right, above right) leads.
constexpr int kColumnStep[4] = {1, 0, 1, 1}, kRowStep[4] = {0, 1, 1, -1};

// Pixels swept at once: the band's union-find, channels and rows stay a few tens of MB.
constexpr int64_t kBandPixels = int64_t{1} << 21;

// A union-find over the band's segments: those carried from the rows above, then a node
// per pixel of the band's rows. Kept from band to band (fresh memory is slow to touch).
struct BandForest {
    std::vector<int32_t> parent;
    std::vector<int64_t> size;

    int32_t findRoot(int32_t x) { return findRootHalving(parent.data(), x); }
    void unite(int32_t x, int32_t y) {
        if (size[static_cast<size_t>(x)] > size[static_cast<size_t>(y)]) std::swap(x, y);
        parent[static_cast<size_t>(x)] = y;
        size[static_cast<size_t>(y)] += size[static_cast<size_t>(x)];
    }
};

// Whether the edge between pixels p and q weighs 0, as the engine's weight says: equal
// channels do; a difference of 1e-18 or more squares to a normal float, so its weight is
// above 0; only smaller differences need the weight itself.
inline bool weighsNothing(const PixelChannels& channels, int64_t p, int64_t q) {
    const float d0 = channels.planes[0][p] - channels.planes[0][q];
    const float d1 = channels.planes[1][p] - channels.planes[1][q];
    const float d2 = channels.planes[2][p] - channels.planes[2][q];
    if (d0 == 0.0f && d1 == 0.0f && d2 == 0.0f) return true;
    constexpr float kSquaresAboveZero = 1e-18f;
    if (std::fabs(d0) >= kSquaresAboveZero || std::fabs(d1) >= kSquaresAboveZero ||
        std::fabs(d2) >= kSquaresAboveZero) {
        return false;
    }
    return weightBits(distanceOfDifferences(d0, d1, d2)) == 0;
}

}  // namespace

// The rows given and not yet let go, and the segments that touch the last two rows swept.
struct __attribute__((visibility("hidden"))) FlatSweep::State {
    explicit State(const TiledImage& image)
        : image(image),
          sizeCap(tiledSizeCap(image)),
          reach(tileMargin(image)),
          bandRows(std::max<int64_t>(1, kBandPixels / image.width)) {
        const LightnessTable lightness;
        for (int v = 0; v < 256; ++v) {
            int least = v;
            while (least > 0 && lightness.value[least - 1] == lightness.value[v]) --least;
            sameLightness[static_cast<size_t>(v)] = static_cast<uint8_t>(least);
        }
    }

    void addRows(const cv::Mat& photo, const cv::Mat_<int>& regions);
    // Rows whose edges can be swept with the rows given so far: up to (not with) this one.
    int64_t readyEnd() const {
        return rowsAdded == image.height ? image.height : std::max(nextRow, rowsAdded - 1 - reach);
    }
    void sweepBand(int64_t end);
    template <class Zero>
    void sweepRows(int64_t end, int64_t lo, Zero&& zero);
    void keyMasks(int64_t y, int64_t lo);
    template <class Zero>
    void zeroMasks(int64_t y, int64_t lo, Zero&& zero);
    void uniteRow(int64_t y, int64_t lo);
    void startForest(int64_t nodes);
    void carryRows(int64_t lo, int64_t end);
    void letGoOfRows();

    TiledImage image;
    int64_t sizeCap, reach, bandRows;
    LabTables lab;
    // Without smoothing: each lightness byte as the least one of equal channel value, and a
    // key per pixel of the band (lightness, a, b) equal exactly where the channels are.
    std::array<uint8_t, 256> sameLightness{};
    std::vector<uint32_t> keys;
    // Bit d of a pixel's entry: its edge of direction d weighs 0 (a row's pixels).
    std::vector<uint8_t> masks;
    BlockPool pool;
    BandForest forest;
    int64_t rowsAdded = 0, nextRow = 0, bufferFirst = 0;
    cv::Mat buffer;              // rows bufferFirst .. rowsAdded - 1 of the photo
    cv::Mat_<int> regionBuffer;  // and of the region map
    // When nextRow > 0: the segment of each pixel of rows nextRow - 1 and nextRow (dense),
    // and each segment's size.
    std::vector<uint32_t> carried;
    std::vector<int64_t> carriedSizes;
    EdgeRuns apart;
};

// Every node its own segment, but the carried pixels, which point at their segments.
void FlatSweep::State::startForest(int64_t nodes) {
    const int32_t carriedCount = static_cast<int32_t>(carriedSizes.size());
    forest.parent.resize(static_cast<size_t>(nodes));
    forest.size.resize(static_cast<size_t>(nodes));
    for (int32_t v = 0; v < nodes; ++v) {
        forest.parent[static_cast<size_t>(v)] = v;
        forest.size[static_cast<size_t>(v)] = 1;
    }
    std::copy(carriedSizes.begin(), carriedSizes.end(), forest.size.begin());
    std::copy(carried.begin(), carried.end(), forest.parent.begin() + carriedCount);
}

void FlatSweep::State::sweepBand(int64_t end) {
    const int64_t width = image.width, height = image.height;
    const int64_t lo = std::max<int64_t>(nextRow - 1, 0), hi = std::min(end + 1, height);
    startForest(static_cast<int64_t>(carriedSizes.size()) + (hi - lo) * width);
    if (reach == 1) {  // keys of the rows lo .. hi - 1
        keys.resize(static_cast<size_t>((hi - lo) * width));
        for (int64_t y = lo; y < hi; ++y) {
            const uint8_t* bgr = buffer.ptr<uint8_t>(static_cast<int>(y - bufferFirst));
            uint32_t* key = keys.data() + (y - lo) * width;
            for (int64_t x = 0; x < width; ++x) {
                uint8_t l[3];
                lab.convert(bgr + 3 * x, l);
                key[x] = uint32_t{sameLightness[l[0]]} << 16 | uint32_t{l[1]} << 8 | l[2];
            }
        }
        for (int64_t y = nextRow; y < end; ++y) {
            keyMasks(y, lo);
            uniteRow(y, lo);
        }
    } else {
        const int64_t readLo = std::max<int64_t>(lo - reach, 0);
        const int64_t readHi = std::min(hi + reach, height);
        const cv::Mat read = buffer.rowRange(static_cast<int>(readLo - bufferFirst),
                                             static_cast<int>(readHi - bufferFirst));
        const Workspace workspace{pool, threadCountFor(tiledParameters(image).threads), false,
                                  &lab};
        const TileChannels channels(read,
                                    cv::Rect(0, static_cast<int>(lo - readLo),
                                             static_cast<int>(width), static_cast<int>(hi - lo)),
                                    tiledParameters(image).sigma, workspace);
        sweepRows(end, lo,
                  [&](int64_t p, int64_t q) { return weighsNothing(channels.tile(), p, q); });
    }
    nextRow = end;
    if (end < height) {
        carryRows(lo, end);
    } else {
        carried.clear();
        carriedSizes.clear();
    }
}

// The edges of rows nextRow .. end - 1 in the one-piece order, pixels numbered from row lo;
// `zero(p, q)`: whether the edge between p and q weighs 0.
template <class Zero>
void FlatSweep::State::sweepRows(int64_t end, int64_t lo, Zero&& zero) {
    for (int64_t y = nextRow; y < end; ++y) {
        zeroMasks(y, lo, zero);
        uniteRow(y, lo);
    }
}

template <class Zero>
void FlatSweep::State::zeroMasks(int64_t y, int64_t lo, Zero&& zero) {
    const int64_t width = image.width, height = image.height;
    masks.assign(static_cast<size_t>(width), 0);
    for (int64_t x = 0; x < width; ++x) {
        const int64_t p = (y - lo) * width + x;
        for (int direction = 0; direction < 4; ++direction) {
            const int64_t qx = x + kColumnStep[direction], qy = y + kRowStep[direction];
            if (qx >= width || qy < 0 || qy >= height) continue;
            if (zero(p, (qy - lo) * width + qx)) masks[static_cast<size_t>(x)] |= 1 << direction;
        }
    }
}

// zeroMasks for equal keys, without a branch a pixel: most edges of a photo weigh more.
void FlatSweep::State::keyMasks(int64_t y, int64_t lo) {
    const int64_t width = image.width;
    masks.assign(static_cast<size_t>(width), 0);
    uint8_t* mask = masks.data();
    const uint32_t* key = keys.data() + (y - lo) * width;
    const uint32_t* below = key + width;
    const uint32_t* above = key - width;
    const int64_t last = width - 1;
    for (int64_t x = 0; x < last; ++x) mask[x] = key[x] == key[x + 1];
    if (y + 1 < image.height) {
        for (int64_t x = 0; x < last; ++x) {
            mask[x] |= (key[x] == below[x]) << 1 | (key[x] == below[x + 1]) << 2;
        }
        mask[last] |= (key[last] == below[last]) << 1;
    }
    if (y > 0) {
        for (int64_t x = 0; x < last; ++x) mask[x] |= (key[x] == above[x + 1]) << 3;
    }
}

// Joins the ends of row y's edges of weight 0 (masks), in the one-piece order, but where the
// regions differ or the cap keeps them apart.
void FlatSweep::State::uniteRow(int64_t y, int64_t lo) {
    const int64_t width = image.width;
    const int32_t carriedCount = static_cast<int32_t>(carriedSizes.size());
    const uint8_t* mask = masks.data();
    for (int64_t x = 0; x < width; ++x) {
        if (x + 8 <= width) {  // eight pixels without a zero edge at a time
            uint64_t eight;
            std::memcpy(&eight, mask + x, 8);
            if (eight == 0) {
                x += 7;
                continue;
            }
        }
        for (int direction = 0; direction < 4; ++direction) {
            if (((mask[x] >> direction) & 1) == 0) continue;
            const int64_t qx = x + kColumnStep[direction], qy = y + kRowStep[direction];
            if (image.withRegions &&
                regionBuffer(static_cast<int>(y - bufferFirst), static_cast<int>(x)) !=
                    regionBuffer(static_cast<int>(qy - bufferFirst), static_cast<int>(qx))) {
                continue;
            }
            const int64_t p = (y - lo) * width + x, q = (qy - lo) * width + qx;
            const int32_t a = forest.findRoot(static_cast<int32_t>(carriedCount + p));
            const int32_t b = forest.findRoot(static_cast<int32_t>(carriedCount + q));
            if (a == b) continue;
            if (forest.size[static_cast<size_t>(a)] + forest.size[static_cast<size_t>(b)] >
                sizeCap) {
                apart.add(static_cast<uint64_t>(y * width + x), direction);
                continue;
            }
            forest.unite(a, b);
        }
    }
}

// Keeps the segments of rows end - 1 and end (the next band's edges reach no higher), as
// dense numbers; the rows above are closed.
void FlatSweep::State::carryRows(int64_t lo, int64_t end) {
    const int64_t width = image.width;
    const int32_t carriedCount = static_cast<int32_t>(carriedSizes.size());
    std::vector<uint32_t> next;
    std::vector<int64_t> nextSizes;
    for (int64_t p = (end - 1 - lo) * width; p < (end + 1 - lo) * width; ++p) {
        const int32_t root = forest.findRoot(static_cast<int32_t>(carriedCount + p));
        int64_t& size = forest.size[static_cast<size_t>(root)];
        if (size > 0) {  // a root met first: its size becomes minus one more than its number
            nextSizes.push_back(size);
            size = -static_cast<int64_t>(nextSizes.size());
        }
        next.push_back(static_cast<uint32_t>(-size - 1));
    }
    carried = std::move(next);
    carriedSizes = std::move(nextSizes);
}

void FlatSweep::State::letGoOfRows() {
    const int64_t keep = std::max<int64_t>(nextRow - 1 - reach, 0);
    if (keep <= bufferFirst) return;
    const int drop = static_cast<int>(keep - bufferFirst);
    buffer = buffer.rowRange(drop, buffer.rows).clone();
    if (image.withRegions) regionBuffer = regionBuffer.rowRange(drop, regionBuffer.rows).clone();
    bufferFirst = keep;
}

void FlatSweep::State::addRows(const cv::Mat& photo, const cv::Mat_<int>& regions) {
    const std::string width = std::to_string(image.width);
    if (photo.dims != 2 || photo.type() != CV_8UC3 || photo.cols != image.width) {
        throw std::invalid_argument(
            "a flat sweep's rows must be 8-bit pixels of three channels "
            "(CV_8UC3), " +
            width + " a row");
    }
    if (photo.rows > image.height - rowsAdded) {
        throw std::invalid_argument("a flat sweep was given " + std::to_string(photo.rows) +
                                    " rows where " + std::to_string(image.height - rowsAdded) +
                                    " are left");
    }
    if (image.withRegions != !regions.empty() ||
        (image.withRegions && (regions.cols != photo.cols || regions.rows != photo.rows))) {
        throw std::invalid_argument(image.withRegions
                                        ? "a flat sweep's region rows must match its pixel rows"
                                        : "region rows were given for an image without regions");
    }
    for (int at = 0; at < photo.rows; at += static_cast<int>(bandRows)) {
        const int rows = std::min(photo.rows - at, static_cast<int>(bandRows));
        buffer.push_back(photo.rowRange(at, at + rows));
        if (image.withRegions) regionBuffer.push_back(cv::Mat(regions.rowRange(at, at + rows)));
        rowsAdded += rows;
        while (readyEnd() > nextRow) {
            sweepBand(std::min(readyEnd(), nextRow + bandRows));
            letGoOfRows();
        }
    }
}

namespace {

// Refuses what a sweep cannot take: a band's union-find numbers its nodes in 32 bits.
void checkSweptImage(const TiledImage& image) {
    checkTiledImage(image);
    if (image.width > (int64_t{1} << 28)) {
        throw std::invalid_argument("a flat sweep takes images up to 2^28 pixels wide, not " +
                                    std::to_string(image.width));
    }
}

}  // namespace

FlatSweep::FlatSweep(const TiledImage& image) {
    checkSweptImage(image);
    state = std::make_unique<State>(image);
}

FlatSweep::~FlatSweep() = default;
FlatSweep::FlatSweep(FlatSweep&&) noexcept = default;
FlatSweep& FlatSweep::operator=(FlatSweep&&) noexcept = default;

void FlatSweep::addRows(const cv::Mat& photo, const cv::Mat_<int>& regions) {
    state->addRows(photo, regions);
}

int64_t FlatSweep::rowsAdded() const {
    return state->rowsAdded;
}

std::vector<uint8_t> FlatSweep::finish() const {
    if (state->nextRow != state->image.height) {
        throw std::invalid_argument(
            "a flat sweep cannot finish before its last row: " + std::to_string(state->rowsAdded) +
            " of " + std::to_string(state->image.height) + " rows were given");
    }
    return bytesSoFar();
}

int64_t FlatSweep::sweptRows() const {
    return state->nextRow;
}

std::vector<uint8_t> FlatSweep::bytesSoFar() const {
    std::vector<uint8_t> out;
    putSweepHeader(out, kSweepMagic, state->image);
    putU64(out, static_cast<uint64_t>(state->nextRow));
    state->apart.put(out);
    sealBytes(out);
    return out;
}

int64_t sweptRowsNeeded(const TiledImage& image, int64_t tile) {
    return flatRowsNeeded(image, tileRect(image, tile));
}

std::vector<uint8_t> FlatSweep::stateBytes() const {
    const State& s = *state;
    std::vector<uint8_t> out;
    putSweepHeader(out, kStateMagic, s.image);
    for (const int64_t n : {s.rowsAdded, s.nextRow, s.bufferFirst})
        putU64(out, static_cast<uint64_t>(n));
    putU64(out, s.carried.size());
    putU64(out, s.carriedSizes.size());
    for (int y = 0; y < s.buffer.rows; ++y) {
        out.insert(out.end(), s.buffer.ptr<uint8_t>(y),
                   s.buffer.ptr<uint8_t>(y) + 3 * s.buffer.cols);
    }
    for (int y = 0; y < s.regionBuffer.rows; ++y) {
        for (int x = 0; x < s.regionBuffer.cols; ++x)
            putU32(out, static_cast<uint32_t>(s.regionBuffer(y, x)));
    }
    for (const uint32_t id : s.carried) putU32(out, id);
    for (const int64_t size : s.carriedSizes) putU64(out, static_cast<uint64_t>(size));
    s.apart.put(out);
    sealBytes(out);
    return out;
}

FlatSweep::FlatSweep(const TiledImage& image, const std::vector<uint8_t>& bytes) {
    checkSweptImage(image);
    state = std::make_unique<State>(image);
    State& s = *state;
    ByteCursor in(bytes, checkSweepHeader(bytes, kStateMagic, image, kStateName), kStateName);
    s.rowsAdded = static_cast<int64_t>(in.take(8));
    s.nextRow = static_cast<int64_t>(in.take(8));
    s.bufferFirst = static_cast<int64_t>(in.take(8));
    const uint64_t carried = in.take(8), segments = in.take(8);
    const int64_t rows = s.rowsAdded - s.bufferFirst, width = image.width;
    if (s.rowsAdded < 0 || s.rowsAdded > image.height || s.nextRow < 0 || s.nextRow > s.rowsAdded ||
        s.bufferFirst < 0 || s.bufferFirst > s.rowsAdded ||
        s.bufferFirst > std::max<int64_t>(s.nextRow - 1 - s.reach, 0) ||
        carried !=
            (s.nextRow > 0 && s.nextRow < image.height ? 2 * static_cast<uint64_t>(width) : 0) ||
        segments > carried) {
        throw std::invalid_argument(kStateName + " are altered (counts that cannot be)");
    }
    if (rows > 0) {
        const uint8_t* pixels = in.skip(static_cast<uint64_t>(rows * width * 3));
        s.buffer = cv::Mat(static_cast<int>(rows), static_cast<int>(width), CV_8UC3,
                           const_cast<uint8_t*>(pixels))
                       .clone();
        if (image.withRegions) {
            s.regionBuffer.create(static_cast<int>(rows), static_cast<int>(width));
            for (int y = 0; y < rows; ++y) {
                for (int x = 0; x < width; ++x) s.regionBuffer(y, x) = static_cast<int>(in.take(4));
            }
        }
    }
    for (uint64_t p = 0; p < carried; ++p) {
        s.carried.push_back(static_cast<uint32_t>(in.take(4)));
        if (s.carried.back() >= segments)
            throw std::invalid_argument(kStateName + " are altered (a segment that is not there)");
    }
    for (uint64_t g = 0; g < segments; ++g)
        s.carriedSizes.push_back(static_cast<int64_t>(in.take(8)));
    s.apart.take(in, image, kStateName);
    in.finish();
}

}  // namespace segmora
