#include "tile_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "label_format.h"
#include "label_writer.h"
#include "npy_array.h"
#include "row_bands.h"

namespace segmora {

struct TileRegionMap::Layout {
    NpyHeader header;
};

TileRegionMap::TileRegionMap(const std::string& path, int64_t width, int64_t height)
    : path(path), width(width), layout(std::make_unique<Layout>()) {
    const auto refuse = [&path](const std::string& why) {
        throw std::runtime_error("cannot read region map '" + path + "': " + why);
    };
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) refuse(std::strerror(errno));
    std::string start(1 << 16, '\0');
    const ssize_t got = ::pread(fd, &start[0], start.size(), 0);
    start.resize(got > 0 ? size_t(got) : 0);
    NpyHeader& header = layout->header;
    try {
        header = parseNpyHeader(start);
    } catch (const std::exception& e) {
        ::close(fd);
        refuse(std::string("region maps in tiles are .npy arrays: ") + e.what());
    }
    const bool fits = header.shape.size() == 2 && header.shape[0] == uint64_t(height) &&
                      header.shape[1] == uint64_t(width);
    if (header.kind != 'i' && header.kind != 'u') {
        ::close(fd);
        refuse("its elements are not integers");
    }
    if (!fits || header.fortranOrder) {
        ::close(fd);
        refuse("it is not a " + std::to_string(height) + " x " + std::to_string(width) +
               " array in C order, as the photo is");
    }
    itemSize = header.itemSize;
    dataOffset = header.dataOffset;
}

TileRegionMap::~TileRegionMap() {
    if (fd >= 0) ::close(fd);
}

cv::Mat_<int> TileRegionMap::read(const TileRect& rect) {
    cv::Mat_<int> ids(int(rect.height), int(rect.width));
    std::vector<unsigned char> row(size_t(rect.width) * size_t(itemSize));
    for (int64_t y = 0; y < rect.height; ++y) {
        const uint64_t at =
            dataOffset +
            (uint64_t(rect.y + y) * uint64_t(width) + uint64_t(rect.x)) * uint64_t(itemSize);
        if (::pread(fd, row.data(), row.size(), off_t(at)) != ssize_t(row.size())) {
            throw std::runtime_error("cannot read region map '" + path + "': it is cut short");
        }
        for (int64_t x = 0; x < rect.width; ++x) {
            int64_t id = 0;
            if (!npyElement(layout->header, row.data(), size_t(x), id) || id < INT_MIN ||
                id > INT_MAX) {
                throw std::runtime_error("cannot read region map '" + path +
                                         "': it holds an id outside the 32-bit range");
            }
            ids(int(y), int(x)) = int(id);
        }
    }
    return ids;
}

namespace {

// The two bands of rows a .npy label file is written in take at most so much memory; a
// wider image is written tile by tile through the page cache.
constexpr uint64_t kMostBandBytes = uint64_t{2} << 30;

}  // namespace

struct TileLabelFile::Writer {
    Writer(const std::string& path, const TiledImage& image, bool wide)
        : image(image),
          labels(path, image.width, image.height, wide ? 64 : 32,
                 labelFormatOfPath(path) == LabelFormat::Npy ? LabelWriter::Form::Npy
                                                             : LabelWriter::Form::Tiff) {
        const uint64_t bandBytes =
            uint64_t(image.tileHeight) * uint64_t(image.width) * (wide ? 8 : 4);
        if (labels.file().layout().kind == RasterLayout::Kind::Npy &&
            2 * bandBytes <= kMostBandBytes) {
            bands = std::make_unique<RowBands>(labels.file(), image.tileHeight);
        }
    }

    // The tile's labels into the band of its row of tiles (the tiles come in raster order),
    // which goes to the file with the row's last tile.
    template <class Label>
    void putInBand(const TileRect& r, const Label* from) {
        if (r.y != bands->firstRow() || r.x != nextX ||
            sizeof(Label) * 8 != size_t(labels.bits())) {
            throw std::logic_error("tiles into a band out of raster order or of another width");
        }
        for (int64_t y = 0; y < r.height; ++y) {
            std::memcpy(bands->row(y) + r.x * int64_t(sizeof(Label)), from + y * r.width,
                        size_t(r.width) * sizeof(Label));
        }
        nextX = r.x + r.width;
        if (nextX == image.width) {
            bands->writeBand(r.height);
            nextX = 0;
        }
    }

    TiledImage image;
    LabelWriter labels;
    std::unique_ptr<RowBands> bands;  // null: tile by tile
    int64_t nextX = 0;
};

TileLabelFile::TileLabelFile(const std::string& path, const TiledImage& image, bool wide)
    : writer(std::make_unique<Writer>(path, image, wide)) {}
TileLabelFile::~TileLabelFile() = default;

void TileLabelFile::write(int64_t tile, const TileLabels& labels) {
    const TileRect r = tileRect(writer->image, tile);
    const size_t pixels = static_cast<size_t>(r.width * r.height);
    if (labels.labels32.size() == pixels) {
        if (writer->bands) return writer->putInBand(r, labels.labels32.data());
        writer->labels.write(r.x, r.y, r.width, r.height, labels.labels32.data());
    } else if (labels.labels64.size() == pixels) {
        if (writer->bands) return writer->putInBand(r, labels.labels64.data());
        writer->labels.write(r.x, r.y, r.width, r.height, labels.labels64.data());
    } else {
        throw std::logic_error("tile " + std::to_string(tile) + " got labels of another size");
    }
}

void TileLabelFile::commit() {
    writer->labels.commit();
}

void checkLabelFileName(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw std::runtime_error("label file '" + path + "' is a folder");
    }
    const LabelFormat format = labelFormatOfPath(path);  // by the extension, in any case
    if (format != LabelFormat::Npy && format != LabelFormat::Tiff) {
        throw std::runtime_error("label file '" + path + "' must be named .tif, .tiff or .npy");
    }
}

}  // namespace segmora
