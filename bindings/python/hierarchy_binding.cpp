#include "hierarchy_binding.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "host_mask.h"
#include "host_photo.h"
#include "python_arguments.h"
#include "segment_options.h"
#include "segmora/segmora.h"

namespace py = pybind11;

namespace segmora::python {

namespace {

using bindings::python::kStyle;

py::array_t<int32_t> labelArray(const cv::Mat_<int>& labels) {
    py::array_t<int32_t> array({labels.rows, labels.cols});
    std::copy(labels.begin(), labels.end(), array.mutable_data());
    return array;
}

// The tree as SciPy's linkage matrix over the finest superpixels (observation k: label
// k + 1 of the finest cut): row i joins clusters Z[i, 0] < Z[i, 1] into cluster F + i at
// height Z[i, 2] holding Z[i, 3] finest superpixels. Heights rise strictly: the merge's edge
// weight, or the next double above the row before when that is not below it, so that SciPy,
// which takes rows in order of height, takes them in this order. Parts the regions keep
// apart are joined last, lowest first pixel first, each one above the highest merge.
py::array_t<double> linkageOf(const Hierarchy& tree) {
    const int finest = tree.finestCount();
    const int rows = std::max(finest - 1, 0);
    py::array_t<double> z({rows, 4});
    double* row = z.mutable_data();
    std::vector<int> parent(static_cast<size_t>(finest)), cluster(parent.size()),
        size(parent.size(), 1);
    std::iota(parent.begin(), parent.end(), 0);
    std::iota(cluster.begin(), cluster.end(), 0);
    const auto find = [&](int x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    };
    double height = -INFINITY;
    int next = finest;
    const auto join = [&](int a, int b, double at) {
        const int ra = find(a), rb = find(b);
        height = std::max(std::nextafter(height, INFINITY), at);
        row[0] = std::min(cluster[ra], cluster[rb]);
        row[1] = std::max(cluster[ra], cluster[rb]);
        row[2] = height;
        row[3] = size[ra] + size[rb];
        row += 4;
        parent[ra] = rb;
        size[rb] += size[ra];
        cluster[rb] = next++;
    };
    for (const Hierarchy::Merge& merge : tree.merges()) join(merge.a, merge.b, merge.height);
    const double above = std::max(height, 0.0) + 1;
    int first = -1;
    for (int k = 0; k < finest; ++k) {
        if (find(k) != k) continue;
        if (first < 0) {
            first = k;
        } else {
            join(first, k, above);
        }
    }
    return z;
}

Hierarchy hierarchyOf(py::object rgb, py::object regions, py::object threshold, py::object sigma,
                      py::object capDivisor, py::object minSize, py::object mask) {
    using bindings::Knob;
    using bindings::python::knobValue;
    const bindings::python::BorrowedArray photo = bindings::python::borrowArray(rgb);
    const bindings::PhotoSize size = bindings::checkPhoto(photo.array, kStyle);
    std::optional<bindings::python::BorrowedArray> ids;
    if (!regions.is_none()) {
        ids = bindings::python::borrowArray(regions);
        bindings::checkRegions(ids->array, size, kStyle);
    }
    std::optional<bindings::python::BorrowedArray> inside;
    if (!mask.is_none()) {
        inside = bindings::python::borrowArray(mask);
        bindings::checkMask(inside->array, size, kStyle);
    }
    const Parameters parameters = bindings::parametersFrom(
        bindings::KnobValues{knobValue(threshold, Knob::Threshold, false),
                             knobValue(sigma, Knob::Sigma, false),
                             knobValue(capDivisor, Knob::CapDivisor, true),
                             knobValue(minSize, Knob::MinSize, false)},
        kStyle);
    py::gil_scoped_release unlocked;
    cv::Mat bgr;
    cv::Mat_<int> idCopy, idMap;
    bindings::photoFrom(photo.array, size, kStyle, bgr);
    if (ids) idMap = bindings::regionsFrom(ids->array, size, kStyle, idCopy);
    cv::Mat maskMap;
    if (inside) maskMap = bindings::maskFrom(inside->array, size, kStyle);
    return hierarchyOfPhoto(bgr, idMap, parameters, maskMap);
}

}  // namespace

void addHierarchy(py::module_& module) {
    py::class_<Hierarchy>(module, "Hierarchy")
        .def_property_readonly("finest_count", &Hierarchy::finestCount)
        .def_property_readonly("default_count", &Hierarchy::defaultCount)
        .def_property_readonly("coarsest_count", &Hierarchy::coarsestCount)
        .def("cut",
             [](const Hierarchy& tree, py::object count) {
                 return bindings::python::guarded("cut a hierarchy", [&] {
                     const std::optional<double> n = bindings::python::knobValue(
                         count, bindings::Knob::Count, false);
                     bindings::KnobValues knobs;
                     knobs.count = n;
                     const int wanted = bindings::parametersFrom(knobs, kStyle).count;
                     Segmentation cut;
                     {
                         py::gil_scoped_release unlocked;
                         cut = tree.cut(wanted);
                     }
                     return labelArray(cut.labels);
                 });
             },
             py::arg("count"))
        .def("linkage", &linkageOf);
    module.def(
        "hierarchy",
        [](py::object rgb, py::object regions, py::object threshold, py::object sigma,
           py::object capDivisor, py::object minSize, py::object mask) {
            return bindings::python::guarded("make a hierarchy", [&] {
                return hierarchyOf(rgb, regions, threshold, sigma, capDivisor, minSize, mask);
            });
        },
        py::arg("rgb"), py::arg("regions"), py::arg("threshold"), py::arg("sigma"),
        py::arg("cap_divisor"), py::arg("min_size"), py::arg("mask"));
}

}  // namespace segmora::python
