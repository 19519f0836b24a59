#include "label_format.h"

#include <stdexcept>

#include "text_case.h"

namespace segmora {

namespace {

// The format that a path's extension names (csv included); nothing for other extensions.
std::optional<LabelFormat> formatOfExtension(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return std::nullopt;
    const std::string extension = lowerCase(name.substr(dot + 1));
    if (extension == "csv") return LabelFormat::Csv;
    return labelFormatNamed(extension);
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
    return formatOfExtension(path).value_or(LabelFormat::Csv);
}

void checkLabelFormatOfName(const std::string& path, LabelFormat format) {
    const std::optional<LabelFormat> named = formatOfExtension(path);
    if (!named || *named == format) return;
    const std::string extension = path.substr(path.find_last_of('.'));
    const std::string asked = labelFileExtension(format) + 1;
    throw std::runtime_error("label file '" + path + "' is named " + extension +
                             ", but --format asks for " + asked + "; name it ." + asked +
                             " or leave --format out");
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
