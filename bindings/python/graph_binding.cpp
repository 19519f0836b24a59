// segmora.graph(labels, rgb=None) and segmora.mean_picture(labels, rgb): the superpixel
// graph of a label array as numpy arrays. Arguments are checked by the rules `segment`
// uses (host_photo.h) with the GIL held; the copies and the pass over the labels run
// without it.
#include "graph_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boundary_drawing.h"
#include "host_photo.h"
#include "label_maps.h"
#include "python_arguments.h"
#include "segmora/segmora.h"

namespace py = pybind11;
namespace bindings = segmora::bindings;
using bindings::python::kStyle;

namespace {

// The labels and the photo of a call, read and described without the GIL; the borrowed
// arrays keep the host's elements alive while `labels` may be a view of them.
struct Described {
    bindings::python::BorrowedArray labelArray;
    std::optional<bindings::python::BorrowedArray> rgbArray;
    cv::Mat_<int> copy;
    segmora::Segmentation labels;
    cv::Mat bgr;
    segmora::SuperpixelGraph graph;
};

Described describeArrays(const py::object& labels, const py::object& rgb) {
    Described d{bindings::python::borrowArray(labels), std::nullopt, {}, {}, {}, {}};
    const bindings::PhotoSize size = bindings::checkLabels(d.labelArray.array, kStyle);
    bindings::PhotoSize photo{};
    if (!rgb.is_none()) {
        d.rgbArray = bindings::python::borrowArray(rgb);
        photo = bindings::checkPhotoFor(d.rgbArray->array, size, kStyle);
    }
    py::gil_scoped_release unlocked;
    d.labels = bindings::labelsFrom(d.labelArray.array, size, kStyle, d.copy);
    if (d.rgbArray) {
        bindings::photoFrom(d.rgbArray->array, photo, kStyle, d.bgr);
        d.graph = segmora::describe(d.labels, d.bgr);
    } else {
        d.graph = segmora::describe(d.labels);
    }
    return d;
}

// A one-dimensional array that owns `values`.
template <class T>
py::array_t<T> arrayOwning(std::vector<T>&& values) {
    auto owner = std::make_unique<std::vector<T>>(std::move(values));
    const std::vector<T>& v = *owner;
    py::capsule release(owner.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
    owner.release();
    return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data(), release);
}

// An (n, columns.size()) array whose column c is columns[c][k] + offsets[c].
template <class T, class Source>
py::array_t<T> columnsOf(const std::vector<const std::vector<Source>*>& columns, size_t n,
                         std::vector<Source> offsets = {}) {
    offsets.resize(columns.size(), Source{});
    py::array_t<T> out({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(columns.size())});
    auto view = out.template mutable_unchecked<2>();
    for (size_t c = 0; c < columns.size(); ++c) {
        for (size_t k = 0; k < n; ++k) {
            view(k, c) = static_cast<T>((*columns[c])[k] + offsets[c]);
        }
    }
    return out;
}

}  // namespace

namespace segmora::python {

SuperpixelArrays::SuperpixelArrays(SuperpixelGraph&& g, bool colours) : count(g.count) {
    const auto n = static_cast<size_t>(g.count);
    centroid = columnsOf<double, double>({&g.centroidRow, &g.centroidColumn}, n);
    bbox = columnsOf<std::int64_t, int>({&g.minRow, &g.minColumn, &g.maxRow, &g.maxColumn}, n,
                                        {0, 0, 1, 1});
    // The photo went in as blue-green-red: channel c of the caller's array is 2 - c.
    if (colours) {
        meanColor = columnsOf<double, double>({&g.meanBgr[2], &g.meanBgr[1], &g.meanBgr[0]}, n);
    }
    edges = columnsOf<std::int32_t, int>({&g.edgeA, &g.edgeB}, g.edgeA.size());
    size = arrayOwning(std::move(g.size));
    border = arrayOwning(std::move(g.border));
}

}  // namespace segmora::python

namespace {

segmora::python::SuperpixelArrays graph(const py::object& labels, const py::object& rgb) {
    return bindings::python::guarded("describe labels", [&] {
        Described d = describeArrays(labels, rgb);
        return segmora::python::SuperpixelArrays(std::move(d.graph), !rgb.is_none());
    });
}

// Each superpixel's mean colour, rounded; black for background (label 0).
py::array_t<std::uint8_t> paintMeans(const Described& d) {
    const int rows = d.labels.labels.rows;
    const int columns = d.labels.labels.cols;
    py::array_t<std::uint8_t> picture({rows, columns, 3});
    std::uint8_t* out = picture.mutable_data();
    py::gil_scoped_release unlocked;
    std::vector<std::uint8_t> colour(3 * (static_cast<size_t>(d.graph.count) + 1), 0);
    for (size_t k = 0; k < static_cast<size_t>(d.graph.count); ++k) {
        for (int c = 0; c < 3; ++c) {
            const double mean = d.graph.meanBgr[2 - c][k];
            colour[3 * (k + 1) + c] = std::isnan(mean) ? 0 : static_cast<std::uint8_t>(mean + 0.5);
        }
    }
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x, out += 3) {
            const std::uint8_t* mean = &colour[3 * static_cast<size_t>(d.labels.labels(y, x))];
            out[0] = mean[0];
            out[1] = mean[1];
            out[2] = mean[2];
        }
    }
    return picture;
}

py::array_t<std::uint8_t> meanPicture(const py::object& labels, const py::object& rgb) {
    if (rgb.is_none()) throw py::type_error("mean_picture needs rgb, an image array");
    return bindings::python::guarded("paint labels", [&] {
        const Described d = describeArrays(labels, rgb);
        return paintMeans(d);
    });
}

// The photo (8-bit RGB) with the boundaries of `labels` and `regions` (None or a map)
// drawn over it as the programs' -v picture; colours are red, green, blue.
py::array_t<std::uint8_t> boundaries(const py::object& rgb, const py::object& labels,
                                     const py::object& regions, std::array<int, 3> colour,
                                     std::array<int, 3> regionColour, bool thick) {
    return bindings::python::guarded("draw boundaries", [&] {
        const bindings::python::BorrowedArray labelArray = bindings::python::borrowArray(labels);
        const bindings::PhotoSize size =
            bindings::checkLabelMap(labelArray.array, "labels", nullptr, kStyle);
        const bindings::python::BorrowedArray rgbArray = bindings::python::borrowArray(rgb);
        const bindings::PhotoSize photo = bindings::checkPhotoFor(rgbArray.array, size, kStyle);
        std::optional<bindings::python::BorrowedArray> regionArray;
        if (!regions.is_none()) {
            regionArray = bindings::python::borrowArray(regions);
            bindings::checkLabelMap(regionArray->array, "regions", &size, kStyle);
        }
        segmora::BoundaryStyle style;
        for (int c = 0; c < 3; ++c) {
            style.segmentColour[2 - c] = static_cast<std::uint8_t>(colour[c]);
            style.regionColour[2 - c] = static_cast<std::uint8_t>(regionColour[c]);
        }
        style.mode = thick ? segmora::BoundaryMode::Thick : segmora::BoundaryMode::Thin;
        py::array_t<std::uint8_t> picture({size.rows, size.columns, 3});
        std::uint8_t* out = picture.mutable_data();
        py::gil_scoped_release unlocked;
        cv::Mat_<int> labelCopy, regionCopy;
        const cv::Mat_<int> ids =
            bindings::labelMapFrom(labelArray.array, size, "labels", kStyle, labelCopy);
        cv::Mat_<int> regionIds;
        if (regionArray) {
            regionIds =
                bindings::labelMapFrom(regionArray->array, size, "regions", kStyle, regionCopy);
        }
        cv::Mat bgr;
        bindings::photoFrom(rgbArray.array, photo, kStyle, bgr);
        const cv::Mat_<cv::Vec3b> drawn =
            segmora::drawBoundaries(bgr, ids, regionArray ? &regionIds : nullptr, style);
        for (int y = 0; y < drawn.rows; ++y) {
            for (int x = 0; x < drawn.cols; ++x, out += 3) {
                const cv::Vec3b& p = drawn(y, x);
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
        }
        return picture;
    });
}

// The package's graph() and mean_picture() (__init__.py) document the calls.
const char* const kGraphDoc = "graph(labels, rgb): see segmora.graph";
const char* const kMeanPictureDoc = "mean_picture(labels, rgb): see segmora.mean_picture";
const char* const kBoundariesDoc = "boundaries(rgb, labels, ...): see segmora.boundaries";

}  // namespace

namespace segmora::python {

void addGraph(py::module_& module) {
    py::class_<SuperpixelArrays>(module, "Graph",
                                 "The superpixel graph of a label array: see graph().")
        .def_readonly("count", &SuperpixelArrays::count, "N, the largest label")
        .def_readonly("size", &SuperpixelArrays::size)
        .def_readonly("centroid", &SuperpixelArrays::centroid)
        .def_readonly("bbox", &SuperpixelArrays::bbox)
        .def_readonly("mean_color", &SuperpixelArrays::meanColor)
        .def_readonly("edges", &SuperpixelArrays::edges)
        .def_readonly("border", &SuperpixelArrays::border)
        .def("__repr__", [](const SuperpixelArrays& g) {
            return "<segmora.Graph of " + std::to_string(g.count) + " superpixels, " +
                   std::to_string(g.border.size()) + " edges>";
        });
    module.def("graph", &graph, py::arg("labels"), py::arg("rgb") = py::none(), kGraphDoc);
    module.def("mean_picture", &meanPicture, py::arg("labels"), py::arg("rgb"), kMeanPictureDoc);
    module.def("boundaries", &boundaries, py::arg("rgb"), py::arg("labels"), py::arg("regions"),
               py::arg("colour"), py::arg("region_colour"), py::arg("thick"), kBoundariesDoc);
}

}  // namespace segmora::python
