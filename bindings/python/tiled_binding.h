// An image in tiles from Python: the sweep over flat areas and the three phases of segmenting
// it, each one's results as bytes, so that tasks on other processes or machines can hand
// them on.
#pragma once

#include <pybind11/pybind11.h>

namespace segmora::python {

// Registers TiledImage, FlatSweep, segment_tile(), join_tiles() and label_tile() in `module`.
void addTiled(pybind11::module_& module);

}  // namespace segmora::python
