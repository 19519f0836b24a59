// Every count from one run in Python: segmora.hierarchy and its Hierarchy object.
#pragma once

#include <pybind11/pybind11.h>

namespace segmora::python {

// Registers Hierarchy and hierarchy() in `module`.
void addHierarchy(pybind11::module_& module);

}  // namespace segmora::python
