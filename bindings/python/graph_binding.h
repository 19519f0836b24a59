// The superpixel graph in Python: segmora.graph, segmora.mean_picture and segmora.Graph.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "segmora/segmora.h"

namespace segmora::python {

// What segmora.graph returns: the graph's vectors as numpy arrays in the conventions of
// Python's imaging libraries.
struct SuperpixelArrays {
    // `colours`: whether the graph was made with a photo.
    SuperpixelArrays(SuperpixelGraph&& g, bool colours);
    int count;
    pybind11::array size, centroid, bbox, edges, border;
    pybind11::object meanColor = pybind11::none();
};

// Registers Graph, graph() and mean_picture() in `module`.
void addGraph(pybind11::module_& module);

}  // namespace segmora::python
