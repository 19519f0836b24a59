// The photo and region map of a call, from host arrays: the same rules and messages for
// every host. A photo may be grey (H x W, or H x W x 1), grey and alpha (H x W x 2), RGB
// (H x W x 3) or RGBA (H x W x 4) of uint8, uint16 (the high byte, as the program's decoder
// brings 16-bit files to 8 bits), bool (0 or 255), or float32/float64 in 0..1 (times 255,
// rounded to nearest); alpha is dropped and grey copied to all three colours, as the
// program's decoder does for such files (the rules of the engine's photo_pixels.h). Region
// ids may be of any integer kind, bool, or whole floating-point numbers, all within the
// int32 range. Labels (of the superpixel graph) may be of the same kinds, whole numbers
// from 0 (background) to 2^31 - 1.
#pragma once

#include <opencv2/core.hpp>
#include <string>

#include "host_array.h"
#include "segmora/segmora.h"

namespace segmora::bindings {

struct PhotoSize {
    int rows;
    int columns;
    int channels;
};

// Checks the photo's kind, shape and size; throws ArgumentError. A photo without pixels is
// refused unless `emptyTaken` (the graph of labels without pixels).
PhotoSize checkPhoto(const HostArray& rgb, const HostStyle& style, bool emptyTaken = false);

// The photo as 8-bit BGR pixels in `bgr` (which keeps its buffer when it fits). Throws
// ArgumentError for a floating-point value outside 0..1. uint16 samples hold `sampleBits`
// significant bits (8..16, the bit-depth option; byteOfSample of photo_pixels.h).
void photoFrom(const HostArray& rgb, PhotoSize size, const HostStyle& style, cv::Mat& bgr,
               int sampleBits = 16);

// Checks the region map's kind and shape; throws ArgumentError.
void checkRegions(const HostArray& regions, PhotoSize size, const HostStyle& style);

// The region ids as a row-major int matrix: a view of the host's array when it already is
// one, else `copy` filled with them. Throws ArgumentError for an id that is not a whole
// number in the int32 range, naming the array `name` in its message.
cv::Mat_<int> regionsFrom(const HostArray& regions, PhotoSize size, const HostStyle& style,
                          cv::Mat_<int>& copy, const std::string& name = "regions");

// Checks the labels' kind and shape: H x W with fewer than 2^29 pixels. Throws
// ArgumentError.
PhotoSize checkLabels(const HostArray& labels, const HostStyle& style);

// Checks a photo for labels of `labels` size: checkPhoto (a photo without pixels is taken),
// then its rows and columns against the labels'. Throws ArgumentError.
PhotoSize checkPhotoFor(const HostArray& rgb, PhotoSize labels, const HostStyle& style);

// The labels as a row-major int matrix (a view of the host's array or `copy`, as
// regionsFrom) with their count, the largest label (0 for none). Throws ArgumentError for a
// label that is not a whole number from 0 to 2^31 - 1.
Segmentation labelsFrom(const HostArray& labels, PhotoSize size, const HostStyle& style,
                        cv::Mat_<int>& copy);

}  // namespace segmora::bindings
