#include "label_writer.h"

#include <limits>
#include <stdexcept>
#include <vector>

#include "label_format.h"

namespace segmora {

namespace {

int checkedBits(int bits) {
    if (bits != 32 && bits != 64) throw std::invalid_argument("labels are 32 or 64 bits");
    const uint16_t one = 1;
    if (*reinterpret_cast<const unsigned char*>(&one) != 1) {
        throw std::runtime_error("label files in pieces need a little-endian machine");
    }
    return bits;
}

RasterLayout labelLayout(LabelWriter::Form form, int64_t width, int64_t height, int bits) {
    if (form == LabelWriter::Form::Npy) return npyLayout(width, height, bits / 8);
    return tiledTiffLayout(width, height, LabelWriter::kTiffTile, LabelWriter::kTiffTile,
                           TiffSamples{1, bits, true});
}

}  // namespace

LabelWriter::Form LabelWriter::formOf(const std::string& path) {
    const LabelFormat format = labelFormatOfPath(path);
    if (format == LabelFormat::Npy) return Form::Npy;
    if (format == LabelFormat::Tiff) return Form::Tiff;
    throw std::runtime_error("label file '" + path +
                             "': labels in pieces are written as .npy, .tif or .tiff");
}

LabelWriter::LabelWriter(const std::string& path, int64_t width, int64_t height, int bits)
    : LabelWriter(path, width, height, bits, formOf(path)) {}

LabelWriter::LabelWriter(const std::string& path, int64_t width, int64_t height, int bits,
                         Form form)
    : labelBits(checkedBits(bits)),
      raster(path, labelLayout(form, width, height, bits), "label file") {}

template <typename From, typename To>
void LabelWriter::writeAs(int64_t x, int64_t y, int64_t w, int64_t h, const From* labels) {
    if (w < 1 || h < 1 || w > raster.layout().width || h > raster.layout().height) {
        raster.write(x, y, w, h, nullptr, 0);  // refused there, with the file's name
    }
    const size_t rowBytes = static_cast<size_t>(w) * sizeof(To);
    if constexpr (std::is_same_v<From, To>) {
        raster.write(x, y, w, h, reinterpret_cast<const uint8_t*>(labels), rowBytes);
    } else {
        std::vector<To> converted(static_cast<size_t>(w * h));
        for (size_t i = 0; i < converted.size(); ++i) {
            if (labels[i] < std::numeric_limits<To>::min() ||
                labels[i] > std::numeric_limits<To>::max()) {
                throw std::invalid_argument("label " + std::to_string(labels[i]) +
                                            " does not fit the 32-bit labels of '" + raster.path() +
                                            "'");
            }
            converted[i] = static_cast<To>(labels[i]);
        }
        raster.write(x, y, w, h, reinterpret_cast<const uint8_t*>(converted.data()), rowBytes);
    }
}

void LabelWriter::write(int64_t x, int64_t y, int64_t w, int64_t h, const int32_t* labels) {
    if (labelBits == 32) return writeAs<int32_t, int32_t>(x, y, w, h, labels);
    writeAs<int32_t, int64_t>(x, y, w, h, labels);
}

void LabelWriter::write(int64_t x, int64_t y, int64_t w, int64_t h, const int64_t* labels) {
    if (labelBits == 64) return writeAs<int64_t, int64_t>(x, y, w, h, labels);
    writeAs<int64_t, int32_t>(x, y, w, h, labels);
}

}  // namespace segmora
