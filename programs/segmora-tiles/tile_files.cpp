#include "tile_files.h"

#include <sys/stat.h>

#include <stdexcept>

#include "label_format.h"
#include "label_writer.h"
#include "tiff_photo.h"

namespace segmora {

struct TilePhoto::Reader {
    explicit Reader(const std::string& path) : photo(path) {}
    TiffPhoto photo;
};

TilePhoto::TilePhoto(const std::string& path) : reader(std::make_unique<Reader>(path)) {}
TilePhoto::~TilePhoto() = default;

int64_t TilePhoto::width() const {
    return reader->photo.width();
}

int64_t TilePhoto::height() const {
    return reader->photo.height();
}

cv::Mat TilePhoto::read(const TileRect& rect) {
    return reader->photo.readRect(rect.x, rect.y, rect.width, rect.height);
}

struct TileLabelFile::Writer {
    Writer(const std::string& path, const TiledImage& image, bool wide)
        : image(image),
          labels(path, image.width, image.height, wide ? 64 : 32,
                 labelFormatOfPath(path) == LabelFormat::Npy ? LabelWriter::Form::Npy
                                                             : LabelWriter::Form::Tiff) {}
    TiledImage image;
    LabelWriter labels;
};

TileLabelFile::TileLabelFile(const std::string& path, const TiledImage& image, bool wide)
    : writer(std::make_unique<Writer>(path, image, wide)) {}
TileLabelFile::~TileLabelFile() = default;

void TileLabelFile::write(int64_t tile, const TileLabels& labels) {
    const TileRect r = tileRect(writer->image, tile);
    const size_t pixels = static_cast<size_t>(r.width * r.height);
    if (labels.labels32.size() == pixels) {
        writer->labels.write(r.x, r.y, r.width, r.height, labels.labels32.data());
    } else if (labels.labels64.size() == pixels) {
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
