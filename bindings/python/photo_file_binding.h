// Photo files in Python: segmora._segmora.read_photo, the programs' decoder behind a path
// given to segment().
#pragma once

#include <pybind11/pybind11.h>

namespace segmora::python {

// Registers read_photo(path, bit_depth) in `module`: the photo at `path` as the programs
// decode it (orientation applied, 16-bit samples brought to 8 bits as their --bit-depth
// does), as an RGB uint8 array (H, W, 3). Raises OSError naming the file when it cannot be
// read, ValueError for a bit depth outside 8..16.
void addPhotoFile(pybind11::module_& module);

}  // namespace segmora::python
