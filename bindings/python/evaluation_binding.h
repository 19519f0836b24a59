// segmora.evaluate(labels, truths, rgb, tolerance, ignore_zero): superpixel measures against
// ground truth as a dict of floats.
#pragma once

#include <pybind11/pybind11.h>

namespace segmora::python {

void addEvaluation(pybind11::module_& module);

}  // namespace segmora::python
