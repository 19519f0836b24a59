#pragma once

#include <optional>
#include <string>

namespace segmora {

// The forms a label file can take.
enum class LabelFormat {
    Csv,   // comma-separated text rows, one line feed at the end
    Png,   // 16-bit grey PNG (at most 65,535 superpixels)
    Npy,   // NumPy array of int32, the photo's shape, version 1.0 header
    Tiff,  // one-page uncompressed TIFF of 32-bit signed integers
};

// The format a --format value names: csv, png, npy, tiff (or tif); nothing otherwise.
std::optional<LabelFormat> labelFormatNamed(const std::string& name);

// The format a label file path asks for by its extension (in any case): .png, .npy, .tif
// and .tiff give theirs, every other extension (and none) gives Csv.
LabelFormat labelFormatOfPath(const std::string& path);

// The extension segmora-batch gives its label files: ".csv", ".png", ".npy", ".tiff".
const char* labelFileExtension(LabelFormat format);

// The names a --format value may take, for messages: "csv, png, npy or tiff".
const char* labelFormatNames();

}  // namespace segmora
