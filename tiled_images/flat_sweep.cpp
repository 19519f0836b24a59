#include "flat_sweep.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "block_pool.h"
#include "edge_weights.h"
#include "lab_conversion.h"
#include "parallel.h"
#include "tile_bytes.h"
#include "tile_channels.h"
#include "tile_grid.h"

namespace segmora {

namespace {

constexpr char kStateMagic[8] = {'S', 'G', 'M', 'S', 'W', 'E', 'E', 'P'};
constexpr char kSweepMagic[8] = {'S', 'G', 'M', 'F', 'L', 'A', 'T', '1'};
constexpr uint32_t kSweepFormatVersion = 1;
constexpr size_t kSweepHeaderBytes = 48;
// Pixels swept at once: the band's union-find, channels and rows stay a few tens of MB.
constexpr int64_t kBandPixels = int64_t{1} << 21;

const std::string kSweepName = "the flat sweep's bytes";
const std::string kStateName = "the flat sweep's state";

// What the sweep depends on: the image's shape and regions, the size cap and the smoothing.
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

// Refuses sealed bytes of another kind, version, image or knobs; returns where the body
// starts.
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

// Reads numbers from sealed bytes, refusing to read past their check sum.
class ByteCursor {
  public:
    ByteCursor(const std::vector<uint8_t>& bytes, const uint8_t* at, std::string what)
        : at(at), end(bytes.data() + bytes.size() - 8), what(std::move(what)) {}

    uint64_t take(int count) {
        need(static_cast<uint64_t>(count));
        const uint64_t value = getBytes(at, count);
        at += count;
        return value;
    }
    const uint8_t* skip(uint64_t count) {
        need(count);
        const uint8_t* from = at;
        at += count;
        return from;
    }
    void finish() const {
        if (at != end) throw std::invalid_argument(what + " hold more than their counts say");
    }

  private:
    void need(uint64_t count) const {
        if (count > static_cast<uint64_t>(end - at)) {
            throw std::invalid_argument(what + " are altered (a section runs past their end)");
        }
    }

    const uint8_t* at;
    const uint8_t* end;
    std::string what;
};

// A union-find over the band's segments: those carried from the rows above, then a node
// per pixel of the band's rows.
struct BandForest {
    std::vector<int64_t> parent, size;

    int64_t findRoot(int64_t x) {
        while (parent[static_cast<size_t>(x)] != x) {
            const int64_t grand = parent[static_cast<size_t>(parent[static_cast<size_t>(x)])];
            parent[static_cast<size_t>(x)] = grand;
            x = grand;
        }
        return x;
    }
    void unite(int64_t x, int64_t y) {
        if (size[static_cast<size_t>(x)] > size[static_cast<size_t>(y)]) std::swap(x, y);
        parent[static_cast<size_t>(x)] = y;
        size[static_cast<size_t>(y)] += size[static_cast<size_t>(x)];
    }
};

}  // namespace

// The rows given and not yet let go, and the segments that touch the last two rows swept.
struct FlatSweep::State {
    explicit State(const TiledImage& image)
        : image(image),
          sizeCap(tiledSizeCap(image)),
          reach(tileMargin(image)),
          bandRows(std::max<int64_t>(1, kBandPixels / image.width)) {}

    void addRows(const cv::Mat& photo, const cv::Mat_<int>& regions);
    // Rows whose edges can be swept with the rows given so far: up to (not with) this one.
    int64_t readyEnd() const {
        return rowsAdded == image.height ? image.height : std::max(nextRow, rowsAdded - 1 - reach);
    }
    void sweepBand(int64_t end);
    void carryRows(BandForest& forest, int64_t lo, int64_t end);
    void letGoOfRows();

    TiledImage image;
    int64_t sizeCap, reach, bandRows;
    LabTables lab;
    int64_t rowsAdded = 0, nextRow = 0, bufferFirst = 0;
    cv::Mat buffer;              // rows bufferFirst .. rowsAdded - 1 of the photo
    cv::Mat_<int> regionBuffer;  // and of the region map
    // When nextRow > 0: the segment of each pixel of rows nextRow - 1 and nextRow (dense),
    // and each segment's size.
    std::vector<uint32_t> carried;
    std::vector<int64_t> carriedSizes;
    std::vector<uint64_t> apart;  // the edges the cap kept apart, ascending
};

void FlatSweep::State::sweepBand(int64_t end) {
    const int64_t width = image.width, height = image.height, first = nextRow;
    const int64_t lo = std::max<int64_t>(first - 1, 0), hi = std::min(end + 1, height);
    const int64_t readLo = std::max<int64_t>(lo - reach, 0);
    const int64_t readHi = std::min(hi + reach, height);
    const cv::Mat read = buffer.rowRange(static_cast<int>(readLo - bufferFirst),
                                         static_cast<int>(readHi - bufferFirst));
    BlockPool pool;
    const Workspace workspace{pool, threadCountFor(tiledParameters(image).threads), false, &lab};
    const TileChannels channels(read,
                                cv::Rect(0, static_cast<int>(lo - readLo), static_cast<int>(width),
                                         static_cast<int>(hi - lo)),
                                tiledParameters(image).sigma, workspace);
    const int64_t carriedCount = static_cast<int64_t>(carriedSizes.size());
    BandForest forest;
    const size_t nodes = static_cast<size_t>(carriedCount + (hi - lo) * width);
    forest.parent.resize(nodes);
    forest.size.assign(nodes, 1);
    for (size_t v = 0; v < nodes; ++v) forest.parent[v] = static_cast<int64_t>(v);
    for (int64_t s = 0; s < carriedCount; ++s)
        forest.size[static_cast<size_t>(s)] = carriedSizes[s];
    for (size_t p = 0; p < carried.size(); ++p) forest.parent[carriedCount + p] = carried[p];

    static constexpr int kColumnStep[4] = {1, 0, 1, 1}, kRowStep[4] = {0, 1, 1, -1};
    const auto region = [&](int64_t y, int64_t x) {
        return regionBuffer(static_cast<int>(y - bufferFirst), static_cast<int>(x));
    };
    for (int64_t y = first; y < end; ++y) {
        for (int64_t x = 0; x < width; ++x) {
            const int64_t p = (y - lo) * width + x;
            for (int direction = 0; direction < 4; ++direction) {
                const int64_t qx = x + kColumnStep[direction], qy = y + kRowStep[direction];
                if (qx >= width || qy < 0 || qy >= height) continue;
                const int64_t q = (qy - lo) * width + qx;
                if (weightBits(pixelDistance(channels.tile(), p, q)) != 0) continue;
                if (image.withRegions && region(y, x) != region(qy, qx)) continue;
                const int64_t a = forest.findRoot(carriedCount + p);
                const int64_t b = forest.findRoot(carriedCount + q);
                if (a == b) continue;
                if (forest.size[static_cast<size_t>(a)] + forest.size[static_cast<size_t>(b)] >
                    sizeCap) {
                    apart.push_back(static_cast<uint64_t>(y * width + x) * 4 +
                                    static_cast<uint64_t>(direction));
                    continue;
                }
                forest.unite(a, b);
            }
        }
    }
    nextRow = end;
    if (end < height) {
        carryRows(forest, lo, end);
    } else {
        carried.clear();
        carriedSizes.clear();
    }
}

// Keeps the segments of rows end - 1 and end (the next band's edges reach no higher), as
// dense numbers; the rows above are closed.
void FlatSweep::State::carryRows(BandForest& forest, int64_t lo, int64_t end) {
    const int64_t width = image.width;
    const int64_t carriedCount = static_cast<int64_t>(carriedSizes.size());
    std::vector<int64_t> dense(forest.parent.size(), -1);
    std::vector<uint32_t> next;
    std::vector<int64_t> nextSizes;
    for (int64_t p = (end - 1 - lo) * width; p < (end + 1 - lo) * width; ++p) {
        const int64_t root = forest.findRoot(carriedCount + p);
        int64_t& id = dense[static_cast<size_t>(root)];
        if (id < 0) {
            id = static_cast<int64_t>(nextSizes.size());
            nextSizes.push_back(forest.size[static_cast<size_t>(root)]);
        }
        next.push_back(static_cast<uint32_t>(id));
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

FlatSweep::FlatSweep(const TiledImage& image) {
    checkTiledImage(image);
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
    std::vector<uint8_t> out;
    putSweepHeader(out, kSweepMagic, state->image);
    putU64(out, state->apart.size());
    for (const uint64_t edge : state->apart) putU64(out, edge);
    sealBytes(out);
    return out;
}

std::vector<uint8_t> FlatSweep::stateBytes() const {
    const State& s = *state;
    std::vector<uint8_t> out;
    putSweepHeader(out, kStateMagic, s.image);
    for (const int64_t n : {s.rowsAdded, s.nextRow, s.bufferFirst})
        putU64(out, static_cast<uint64_t>(n));
    putU64(out, s.carried.size());
    putU64(out, s.carriedSizes.size());
    putU64(out, s.apart.size());
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
    for (const uint64_t edge : s.apart) putU64(out, edge);
    sealBytes(out);
    return out;
}

FlatSweep::FlatSweep(const TiledImage& image, const std::vector<uint8_t>& bytes) {
    checkTiledImage(image);
    state = std::make_unique<State>(image);
    State& s = *state;
    ByteCursor in(bytes, checkSweepHeader(bytes, kStateMagic, image, kStateName), kStateName);
    s.rowsAdded = static_cast<int64_t>(in.take(8));
    s.nextRow = static_cast<int64_t>(in.take(8));
    s.bufferFirst = static_cast<int64_t>(in.take(8));
    const uint64_t carried = in.take(8), segments = in.take(8), apart = in.take(8);
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
    for (uint64_t e = 0; e < apart; ++e) s.apart.push_back(in.take(8));
    in.finish();
}

std::vector<uint64_t> flatEdgesApartNear(const std::vector<uint8_t>& sweep, const TiledImage& image,
                                         const TileRect& own) {
    ByteCursor in(sweep, checkSweepHeader(sweep, kSweepMagic, image, kSweepName), kSweepName);
    const uint64_t count = in.take(8);
    if (count > (sweep.size() - kSweepHeaderBytes) / 8) {
        throw std::invalid_argument(kSweepName + " are altered (their count does not fit)");
    }
    const uint64_t width = static_cast<uint64_t>(image.width);
    const uint64_t from = static_cast<uint64_t>(std::max<int64_t>(own.y - 1, 0)) * width * 4;
    const uint64_t to = static_cast<uint64_t>(own.y + own.height + 1) * width * 4;
    std::vector<uint64_t> near;
    uint64_t previous = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t edge = in.take(8);
        EdgeEnds ends{};
        if ((i > 0 && edge <= previous) || !edgeEndsOf(edge, image.width, image.height, ends)) {
            throw std::invalid_argument(kSweepName +
                                        " are altered (an edge out of order or "
                                        "outside the image)");
        }
        previous = edge;
        if (edge >= from && edge < to &&
            (rectHolds(own, ends.x0, ends.y0) || rectHolds(own, ends.x1, ends.y1))) {
            near.push_back(edge);
        }
    }
    in.finish();
    return near;
}

}  // namespace segmora
