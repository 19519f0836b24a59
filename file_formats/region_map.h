#pragma once

#include <opencv2/core.hpp>
#include <string>

namespace segmora {

// Fills `regions` (already sized rows x cols, the photo's size) from the region map at
// `path`, whose kind its first bytes tell:
//  - PNG: one grey channel of 8 or 16 bits;
//  - TIFF: one channel of integers (8, 16 or 32 bits, signed or not);
//  - NumPy .npy: a two-dimensional array of any integer kind or bool, in C or Fortran order;
//  - anything else: text, as readRegionFile (region_text.h) reads it.
// A map of another size, of another kind, or holding a value outside the 32-bit signed
// range is refused with std::runtime_error "region file 'PATH' ...", like a bad text file.
void readRegionMap(const std::string& path, cv::Mat_<int>& regions);

}  // namespace segmora
