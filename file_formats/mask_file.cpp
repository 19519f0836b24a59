#include "mask_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <vector>

#include "colour_image.h"
#include "npy_array.h"
#include "opencv_codecs.h"
#include "quiet_standard_error.h"
#include "region_map.h"

namespace segmora {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw std::runtime_error("mask file '" + path + "' " + why);
}

std::string sizeText(int columns, int rows) {
    return std::to_string(columns) + " x " + std::to_string(rows);
}

void checkSize(const std::string& path, int columns, int rows, int photoRows, int photoColumns) {
    if (columns != photoColumns || rows != photoRows) {
        fail(path, "is " + sizeText(columns, rows) + " pixels, but the image is " +
                       sizeText(photoColumns, photoRows));
    }
}

std::string firstBytes(const std::string& path, size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

cv::Mat decoded(const std::string& path, int flags) {
    try {
        QuietStandardError quiet;
        return opencv_codecs::imread(path, flags);
    } catch (const cv::Exception&) {
        return cv::Mat();
    }
}

// Decoded by the program's photo reader, which gives cv::imread(path, 1)'s pixels (turned
// upright by the recorded orientation too) without loading OpenCV's codecs for PNG and JPEG.
MaskFile pictureMask(const std::string& path, int rows, int columns) {
    cv::Mat_<cv::Vec3b> bgr;
    try {
        bgr = readColourImage(path);
    } catch (const std::runtime_error& e) {
        fail(path, std::string("cannot be read as a picture: ") + e.what());
    }
    checkSize(path, bgr.cols, bgr.rows, rows, columns);
    MaskFile mask{cv::Mat_<uint8_t>(rows, columns), true};
    for (int y = 0; y < rows; ++y) {
        const cv::Vec3b* pixel = bgr[y];
        uint8_t* inside = mask.inside[y];
        for (int x = 0; x < columns; ++x) {
            inside[x] = static_cast<uint8_t>(int{pixel[x][0] > 200} & int{pixel[x][1] > 200} &
                                             int{pixel[x][2] > 200});
        }
    }
    return mask;
}

// A region map's words, told of a mask: "region file" becomes "mask file".
MaskFile regionMapMask(const std::string& path, int rows, int columns) {
    cv::Mat_<int> values(rows, columns, 1);
    try {
        readRegionMap(path, values);
    } catch (const std::runtime_error& e) {
        std::string message = e.what();
        for (const char* word : {"region file", "region map"}) {
            for (size_t at = message.find(word); at != std::string::npos;
                 at = message.find(word, at)) {
                message.replace(at, std::strlen(word), "mask file");
            }
        }
        throw std::runtime_error(message);
    }
    MaskFile mask{cv::Mat_<uint8_t>(rows, columns), false};
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) mask.inside(y, x) = values(y, x) != 0;
    }
    return mask;
}

// Floating-point values (in the file's order, `fortran`: column by column): each 0 or 1.
MaskFile zeroOneMask(const std::string& path, const cv::Mat& values, bool fortran, int rows,
                     int columns) {
    MaskFile mask{cv::Mat_<uint8_t>(rows, columns), false};
    cv::Mat_<double> numbers;
    values.convertTo(numbers, CV_64F);
    for (int i = 0; i < rows * columns; ++i) {
        const double value = numbers(i / numbers.cols, i % numbers.cols);
        const int y = fortran ? i % rows : i / columns, x = fortran ? i / rows : i % columns;
        if (value != 0 && value != 1) {
            fail(path, "holds " + cv::format("%g", value) + " at row " + std::to_string(y) +
                           ", column " + std::to_string(x) +
                           ": a mask of floating-point numbers holds only 0 and 1");
        }
        mask.inside(y, x) = value == 1;
    }
    return mask;
}

MaskFile npyMask(const std::string& path, int rows, int columns) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    NpyHeader header;
    try {
        header = parseNpyHeader(bytes);
    } catch (const std::runtime_error& e) {
        fail(path, std::string("cannot be read: ") + e.what());
    }
    if (header.kind != 'f') return regionMapMask(path, rows, columns);
    if (header.itemSize != 4 && header.itemSize != 8) {
        fail(path, "holds " + std::to_string(header.itemSize) +
                       "-byte floating-point numbers: a mask takes 4 or 8");
    }
    if (header.shape.size() != 2) {
        fail(path, "is not a two-dimensional array: it has " + std::to_string(header.shape.size()) +
                       " dimensions");
    }
    if (header.shape[0] != static_cast<uint64_t>(rows) ||
        header.shape[1] != static_cast<uint64_t>(columns)) {
        fail(path, "is " + std::to_string(header.shape[1]) + " x " +
                       std::to_string(header.shape[0]) + " pixels, but the image is " +
                       sizeText(columns, rows));
    }
    const size_t count = static_cast<size_t>(rows) * columns, size = header.itemSize;
    if (bytes.size() < header.dataOffset + count * size) fail(path, "is cut short");
    std::vector<unsigned char> data(bytes.begin() + header.dataOffset,
                                    bytes.begin() + header.dataOffset + count * size);
    if (header.bigEndian) {
        for (size_t i = 0; i < count; ++i) std::reverse(&data[i * size], &data[i * size] + size);
    }
    const cv::Mat values(1, static_cast<int>(count), size == 4 ? CV_32F : CV_64F, data.data());
    return zeroOneMask(path, values, header.fortranOrder, rows, columns);
}

MaskFile tiffMask(const std::string& path, int rows, int columns) {
    const cv::Mat values = decoded(path, cv::IMREAD_UNCHANGED);
    if (values.empty()) fail(path, "cannot be decoded");
    if (values.depth() == CV_8U) return pictureMask(path, rows, columns);
    if (values.depth() != CV_32F && values.depth() != CV_64F) {
        return regionMapMask(path, rows, columns);
    }
    checkSize(path, values.cols, values.rows, rows, columns);
    if (values.channels() != 1) {
        fail(path, "has " + std::to_string(values.channels()) + " channels: a mask takes one");
    }
    return zeroOneMask(path, values.reshape(1, 1), false, rows, columns);
}

bool looksLikeText(const std::string& start) {
    const unsigned char first = static_cast<unsigned char>(start[0]);
    return std::isdigit(first) || std::isspace(first) || first == '-' || first == '+';
}

}  // namespace

MaskFile readMaskFile(const std::string& path, int rows, int columns) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        throw std::runtime_error("cannot read mask file '" + path + "': " + std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) fail(path, "is a folder");
    if (S_ISREG(info.st_mode) && info.st_size == 0) fail(path, "is empty");
    const std::string start = firstBytes(path, 32);
    if (start.empty()) fail(path, "is empty");
    if (start.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
        const bool sixteenBits = start.size() > 24 && start[24] == 16;
        return sixteenBits ? regionMapMask(path, rows, columns) : pictureMask(path, rows, columns);
    }
    if (start.compare(0, 4, std::string("II*\0", 4)) == 0 ||
        start.compare(0, 4, std::string("MM\0*", 4)) == 0) {
        return tiffMask(path, rows, columns);
    }
    if (start.compare(0, 6, "\x93NUMPY") == 0) return npyMask(path, rows, columns);
    if (looksLikeText(start)) return regionMapMask(path, rows, columns);
    return pictureMask(path, rows, columns);
}

std::string maskFileFor(const std::string& folder, const std::string& name) {
    const std::string base = folder + "/" + name;
    for (const char* extension : {".png", ".npy", ".txt", ".tif", ".tiff", ".csv"}) {
        struct stat info;
        if (::stat((base + extension).c_str(), &info) == 0) return base + extension;
    }
    return base + ".png";
}

}  // namespace segmora
