#include "label_format.h"

#include <cctype>

namespace segmora {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::optional<LabelFormat> labelFormatNamed(const std::string& name) {
    if (name == "csv") return LabelFormat::Csv;
    if (name == "png") return LabelFormat::Png;
    if (name == "npy") return LabelFormat::Npy;
    if (name == "tiff" || name == "tif") return LabelFormat::Tiff;
    return std::nullopt;
}

LabelFormat labelFormatOfPath(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return LabelFormat::Csv;
    const std::string extension = lowerCase(name.substr(dot + 1));
    const std::optional<LabelFormat> format = labelFormatNamed(extension);
    return format ? *format : LabelFormat::Csv;
}

const char* labelFileExtension(LabelFormat format) {
    switch (format) {
        case LabelFormat::Png:
            return ".png";
        case LabelFormat::Npy:
            return ".npy";
        case LabelFormat::Tiff:
            return ".tiff";
        case LabelFormat::Csv:
            break;
    }
    return ".csv";
}

const char* labelFormatNames() {
    return "csv, png, npy or tiff";
}

}  // namespace segmora
