#pragma once

#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "region_text.h"

namespace segmora {

// Fills `regions` (already sized rows x cols, the photo's size) from the region map at
// `path`, whose kind its first bytes tell:
//  - PNG: one grey channel of 8 or 16 bits;
//  - TIFF: one channel of integers (8, 16 or 32 bits, signed or not);
//  - NumPy .npy: a two-dimensional array of any integer kind or bool, in C or Fortran order;
//  - anything else: text, as readRegionFile (region_text.h) reads it.
// A map of another size, of another kind, or holding a value outside the 32-bit signed
// range is refused with std::runtime_error "region file 'PATH' ...", like a bad text file.
// Returns the layout of a text map's lines (nothing for the other kinds).
std::optional<TextLayout> readRegionMap(const std::string& path, cv::Mat_<int>& regions);

// True when a text map's lines are exactly those of the transposed table: the photo's
// column count of lines, each of its row count of numbers, rows and columns differing.
bool looksTransposed(const TextLayout& layout, int rows, int cols);

}  // namespace segmora
