#include "opencv_codecs.h"

#include <dlfcn.h>

#include <cstdlib>
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

}  // namespace

bool readerLimitsSet() {
    return std::getenv("OPENCV_IO_MAX_IMAGE_PIXELS") != nullptr ||
           std::getenv("OPENCV_IO_MAX_IMAGE_WIDTH") != nullptr ||
           std::getenv("OPENCV_IO_MAX_IMAGE_HEIGHT") != nullptr;
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
