#include "opencv_codecs.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace segmora::opencv_codecs {

namespace {

using Imread = cv::Mat (*)(const cv::String&, int);
using Imencode = bool (*)(const cv::String&, cv::InputArray, std::vector<uchar>&,
                          const std::vector<int>&);
using HaveImageWriter = bool (*)(const cv::String&);

// The library's functions, found by their (C++ ABI) symbol names.
struct Codecs {
    Codecs() {
        void* library = ::dlopen(SEGMORA_IMGCODECS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return;
        imread = reinterpret_cast<Imread>(::dlsym(
            library, "_ZN2cv6imreadERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEi"));
        imencode = reinterpret_cast<Imencode>(
            ::dlsym(library,
                    "_ZN2cv8imencodeERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEERKNS_"
                    "11_InputArrayERSt6vectorIhSaIhEERKSB_IiSaIiEE"));
        haveImageWriter = reinterpret_cast<HaveImageWriter>(::dlsym(
            library,
            "_ZN2cv15haveImageWriterERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"));
    }
    Imread imread = nullptr;
    Imencode imencode = nullptr;
    HaveImageWriter haveImageWriter = nullptr;
};

// Loaded once per process, on first use (thread-safe).
const Codecs& codecs() {
    static const Codecs loaded;
    if (loaded.imread == nullptr || loaded.imencode == nullptr ||
        loaded.haveImageWriter == nullptr) {
        throw std::runtime_error(std::string("OpenCV's image codecs (") +
                                 SEGMORA_IMGCODECS_LIBRARY + ") cannot be loaded");
    }
    return loaded;
}

constexpr const char* kReaderLimits[] = {"OPENCV_IO_MAX_IMAGE_PIXELS", "OPENCV_IO_MAX_IMAGE_WIDTH",
                                         "OPENCV_IO_MAX_IMAGE_HEIGHT"};

// Whether OpenCV reads `text` as a size: digits that fit 64 bits, then a unit or none.
bool isReadableLimit(const std::string& text) {
    const size_t digits = text.find_first_not_of("0123456789");
    const std::string number = text.substr(0, digits);
    const std::string unit = digits == std::string::npos ? "" : text.substr(digits);
    const std::string largest = std::to_string(std::numeric_limits<uint64_t>::max());
    const size_t significant = std::min(number.find_first_not_of('0'), number.size());
    const std::string value = number.substr(significant);
    const bool fits =
        value.size() < largest.size() || (value.size() == largest.size() && value <= largest);
    const bool knownUnit = unit.empty() || unit == "KB" || unit == "Kb" || unit == "kb" ||
                           unit == "MB" || unit == "Mb" || unit == "mb";
    return !number.empty() && fits && knownUnit;
}

}  // namespace

void checkReaderLimits() {
    for (const char* name : kReaderLimits) {
        const char* value = std::getenv(name);
        if (value == nullptr || isReadableLimit(value)) continue;
        std::string shown(value);
        if (shown.size() > 40) shown = shown.substr(0, 40) + "...";
        throw std::runtime_error(std::string(name) + " is '" + shown +
                                 "', not a limit OpenCV's reader reads: a whole number of "
                                 "digits up to 2^64 - 1, optionally followed by KB or MB");
    }
}

bool readerLimitsSet() {
    for (const char* name : kReaderLimits) {
        if (std::getenv(name) != nullptr) return true;
    }
    return false;
}

cv::Mat imread(const std::string& path, int flags) {
    return codecs().imread(path, flags);
}

bool imencode(const std::string& extension, const cv::Mat& picture, std::vector<uchar>& bytes,
              const std::vector<int>& settings) {
    return codecs().imencode(extension, picture, bytes, settings);
}

bool haveImageWriter(const std::string& path) {
    return codecs().haveImageWriter(path);
}

}  // namespace segmora::opencv_codecs
