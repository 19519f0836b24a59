// Stand-in: reads the whole photo and keeps the whole label map, until the readers and
// writers by rectangles take their place.
#include "tile_files.h"

#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

#include "label_file.h"
#include "output_file.h"

namespace segmora {

struct TilePhoto::Reader {
    cv::Mat pixels;
};

TilePhoto::TilePhoto(const std::string& path) : reader(new Reader) {
    cv::Mat read = cv::imread(path, cv::IMREAD_UNCHANGED);
    if (read.empty()) throw std::runtime_error("cannot read photo '" + path + "'");
    if (read.channels() == 1) cv::cvtColor(read, read, cv::COLOR_GRAY2BGR);
    reader->pixels = read;
}
TilePhoto::~TilePhoto() = default;
int64_t TilePhoto::width() const { return reader->pixels.cols; }
int64_t TilePhoto::height() const { return reader->pixels.rows; }
cv::Mat TilePhoto::read(const TileRect& r) {
    return reader->pixels(cv::Rect(int(r.x), int(r.y), int(r.width), int(r.height))).clone();
}

struct TileLabelFile::Writer {
    std::string path;
    TiledImage image;
    cv::Mat_<int> labels;
};

TileLabelFile::TileLabelFile(const std::string& path, const TiledImage& image, bool)
    : writer(new Writer{path, image, cv::Mat_<int>(int(image.height), int(image.width))}) {}
TileLabelFile::~TileLabelFile() = default;
void TileLabelFile::write(int64_t tile, const TileLabels& labels) {
    const TileRect r = tileRect(writer->image, tile);
    cv::Mat_<int> part(int(r.height), int(r.width), const_cast<int*>(labels.labels32.data()));
    part.copyTo(writer->labels(cv::Rect(int(r.x), int(r.y), int(r.width), int(r.height))));
}
void TileLabelFile::commit() {
    OutputFile file(writer->path, "label file");
    writeLabelMap(file, writer->labels, labelFormatOfPath(writer->path), 1);
}

void checkLabelFileName(const std::string& path) {
    const LabelFormat format = labelFormatOfPath(path);
    if (format != LabelFormat::Npy && format != LabelFormat::Tiff) {
        throw std::runtime_error("label file '" + path + "' must be named .tif, .tiff or .npy");
    }
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw std::runtime_error("label file '" + path + "' is a folder");
    }
}

}  // namespace segmora
