#include "binary_label_file.h"

#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <vector>

#include "npy_array.h"
#include "opencv_codecs.h"
#include "output_file.h"

namespace segmora {

namespace {

bool littleEndian() {
    const uint16_t one = 1;
    return *reinterpret_cast<const unsigned char*>(&one) == 1;
}

void writeNpy(OutputFile& file, const cv::Mat_<int>& labels) {
    if (!littleEndian()) throw std::runtime_error("NumPy label files need a little-endian machine");
    const std::string header = npyHeader(labels.rows, labels.cols);
    file.write(header.data(), header.size());
    const size_t rowBytes = static_cast<size_t>(labels.cols) * sizeof(int);
    for (int y = 0; y < labels.rows; ++y) {
        file.write(reinterpret_cast<const char*>(labels[y]), rowBytes);
    }
}

void writeEncoded(OutputFile& file, const cv::Mat& picture, const char* extension,
                  const std::vector<int>& settings) {
    std::vector<uchar> bytes;
    if (!opencv_codecs::imencode(extension, picture, bytes, settings)) {
        throw std::runtime_error(std::string("the image library cannot write ") + extension +
                                 " label files");
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

void checkLabelCount(LabelFormat format, int count, const std::string& shownPath) {
    if (format == LabelFormat::Png && count > kMaxPngLabels) {
        throw std::runtime_error("label file '" + shownPath + "': " + std::to_string(count) +
                                 " superpixels do not fit a 16-bit PNG (at most 65535); "
                                 "use .tiff or .npy");
    }
}

void writeBinaryLabelMap(OutputFile& file, const cv::Mat_<int>& labels, LabelFormat format) {
    if (format == LabelFormat::Npy) {
        writeNpy(file, labels);
    } else if (format == LabelFormat::Png) {
        cv::Mat grey;
        labels.convertTo(grey, CV_16U);
        writeEncoded(file, grey, ".png", {});
    } else if (format == LabelFormat::Tiff) {
        writeEncoded(file, labels, ".tiff", {cv::IMWRITE_TIFF_COMPRESSION, 1});
    } else {
        throw std::logic_error("not a binary label format");
    }
    file.commit();
}

}  // namespace segmora
