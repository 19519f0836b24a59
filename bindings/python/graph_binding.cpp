// segmora.graph(labels, rgb=None) and segmora.mean_picture(labels, rgb): the superpixel
// graph of a label array as numpy arrays. Arguments are checked with the GIL held; the
// copies and the pass over the labels run without it.
#include "graph_binding.h"

#include <pybind11/numpy.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pixel_layout.h"
#include "segmora/segmora.h"

namespace py = pybind11;
using segmora::bindings::Strides;

namespace {

// An array checked for reading without the GIL: what is read then is taken here with the
// GIL held; `array` keeps the data alive.
struct Input {
    py::array array;
    const void* data;
    Strides strides;  // in elements
    int rows, columns;
    char kind;
    int itemSize;
};

std::string shapeOf(const py::array& array) {
    return py::str(array.attr("shape")).cast<std::string>();
}

// `object` as an array of `dtype` (copied when it has another type of the same kind or
// unaligned strides), or TypeError.
Input inputOf(const py::object& object, const char* name, char kind, const char* what) {
    if (!py::isinstance<py::array>(object)) {
        throw py::type_error(std::string(name) + " must be a numpy array, not " +
                             py::str(py::type::of(object).attr("__name__")).cast<std::string>());
    }
    auto array = py::reinterpret_borrow<py::array>(object);
    const char found = array.dtype().kind();
    const bool integer = found == 'i' || found == 'u';
    if (kind == 'i' ? !integer : (found != 'u' || array.itemsize() != 1)) {
        throw py::type_error(std::string(name) + " must be " + what + ", not " +
                             py::str(array.dtype()).cast<std::string>());
    }
    const py::ssize_t item = array.itemsize();
    bool usable = array.dtype().attr("isnative").cast<bool>();
    for (py::ssize_t d = 0; d < array.ndim(); ++d) usable = usable && array.strides(d) % item == 0;
    if (!usable) {
        const py::object native = array.dtype().attr("newbyteorder")("=");
        array = py::module_::import("numpy").attr("ascontiguousarray")(array, native);
    }
    const auto stride = [&](py::ssize_t d) {
        return d < array.ndim() ? array.strides(d) / array.itemsize() : 0;
    };
    const auto extent = [&](py::ssize_t d) {
        return d < array.ndim() ? static_cast<int>(array.shape(d)) : 0;
    };
    return Input{
        array,     array.data(),         Strides{stride(0), stride(1), stride(2)}, extent(0),
        extent(1), array.dtype().kind(), static_cast<int>(array.itemsize())};
}

Input checkLabels(const py::object& object) {
    Input labels = inputOf(object, "labels", 'i', "an integer array");
    if (labels.array.ndim() != 2) {
        throw py::value_error("labels must have shape (H, W), not " + shapeOf(labels.array));
    }
    if (labels.array.size() >= segmora::kMaxPixelCount ||
        labels.array.shape(0) >= segmora::kMaxPixelCount ||
        labels.array.shape(1) >= segmora::kMaxPixelCount) {
        throw py::value_error("labels of shape " + shapeOf(labels.array) +
                              " have too many pixels (" + segmora::pixelLimitText() + ")");
    }
    return labels;
}

Input checkRgb(const py::object& object, const py::array& labels) {
    Input rgb = inputOf(object, "rgb", 'u', "a uint8 array");
    const py::array& a = rgb.array;
    if (a.ndim() != 3 || a.shape(2) != 3 || a.shape(0) != labels.shape(0) ||
        a.shape(1) != labels.shape(1)) {
        throw py::value_error("rgb must have shape (" + std::to_string(labels.shape(0)) + ", " +
                              std::to_string(labels.shape(1)) + ", 3) like labels, not " +
                              shapeOf(a));
    }
    return rgb;
}

// The labels as a row-major int matrix with their count (the largest label); a label below
// 1 or above the int32 range raises ValueError.
template <class T>
segmora::Segmentation readLabels(const Input& input) {
    const int rows = input.rows;
    const int columns = input.columns;
    const T* data = static_cast<const T*>(input.data);
    segmora::Segmentation s{cv::Mat_<int>(rows, columns), 0};
    for (int y = 0; y < rows; ++y) {
        int* out = s.labels[y];
        const T* in = data + y * input.strides.row;
        for (int x = 0; x < columns; ++x) {
            const T label = in[x * input.strides.column];
            const auto wide = static_cast<std::int64_t>(label);  // a huge uint64 goes negative
            if (wide < 1 || wide > std::numeric_limits<std::int32_t>::max()) {
                throw py::value_error("labels[" + std::to_string(y) + ", " + std::to_string(x) +
                                      "] = " + std::to_string(label) +
                                      " is not a label from 1 to 2^31 - 1");
            }
            out[x] = static_cast<int>(label);
            s.count = std::max(s.count, out[x]);
        }
    }
    return s;
}

segmora::Segmentation readLabels(const Input& input) {
    const bool isSigned = input.kind == 'i';
    switch (input.itemSize) {
        case 1:
            return isSigned ? readLabels<std::int8_t>(input) : readLabels<std::uint8_t>(input);
        case 2:
            return isSigned ? readLabels<std::int16_t>(input) : readLabels<std::uint16_t>(input);
        case 4:
            return isSigned ? readLabels<std::int32_t>(input) : readLabels<std::uint32_t>(input);
        default:
            return isSigned ? readLabels<std::int64_t>(input) : readLabels<std::uint64_t>(input);
    }
}

// The labels and the photo read and described without the GIL.
struct Described {
    segmora::Segmentation labels;
    cv::Mat bgr;
    segmora::SuperpixelGraph graph;
};

Described describeArrays(const py::object& labelsObject, const py::object& rgbObject) {
    const Input labels = checkLabels(labelsObject);
    std::optional<Input> rgb;
    if (!rgbObject.is_none()) rgb = checkRgb(rgbObject, labels.array);
    Described d;
    py::gil_scoped_release unlocked;
    d.labels = readLabels(labels);
    if (rgb) {
        segmora::bindings::bgrFromRgb(static_cast<const std::uint8_t*>(rgb->data),
                                      d.labels.labels.rows, d.labels.labels.cols, rgb->strides,
                                      d.bgr);
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
    Described d = describeArrays(labels, rgb);
    return segmora::python::SuperpixelArrays(std::move(d.graph), !rgb.is_none());
}

py::array_t<std::uint8_t> meanPicture(const py::object& labels, const py::object& rgb) {
    if (rgb.is_none()) throw py::type_error("mean_picture needs rgb, a uint8 array");
    Described d = describeArrays(labels, rgb);
    const int rows = d.labels.labels.rows;
    const int columns = d.labels.labels.cols;
    py::array_t<std::uint8_t> picture({rows, columns, 3});
    std::uint8_t* out = picture.mutable_data();
    py::gil_scoped_release unlocked;
    std::vector<std::uint8_t> colour(3 * static_cast<size_t>(d.graph.count));
    for (size_t k = 0; k < static_cast<size_t>(d.graph.count); ++k) {
        for (int c = 0; c < 3; ++c) {
            const double mean = d.graph.meanBgr[2 - c][k];
            colour[3 * k + c] = std::isnan(mean) ? 0 : static_cast<std::uint8_t>(mean + 0.5);
        }
    }
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x, out += 3) {
            const std::uint8_t* mean = &colour[3 * static_cast<size_t>(d.labels.labels(y, x) - 1)];
            out[0] = mean[0];
            out[1] = mean[1];
            out[2] = mean[2];
        }
    }
    return picture;
}

const char* const kGraphDoc = R"doc(graph(labels, rgb=None) -> Graph

The superpixels of a label array and which of them touch, in one pass.

labels: integer array of shape (H, W) with labels from 1; N is the largest.
    Labels no pixel carries get size 0 and NaN centroid and colour. N may be
    at most max(H * W, 2^20).
rgb: optional uint8 array of shape (H, W, 3), for the mean colours.

The result's arrays, row k for label k + 1:
    size        (N,) int64        pixels
    centroid    (N, 2) float64    mean (row, col), from 0
    bbox        (N, 4) int64      (min_row, min_col, max_row + 1, max_col + 1)
    mean_color  (N, 3) float64    mean of each channel of rgb, in rgb's order;
                                  None without rgb
    edges       (E, 2) int32      label pairs a < b whose pixels are
                                  8-neighbours, sorted
    border      (E,) int64        neighbouring pixel pairs (p, q), p in a, q in b
Raises TypeError for a non-array or a wrong dtype, ValueError for a wrong shape
or a label below 1. The GIL is released while the labels are read.)doc";

const char* const kMeanPictureDoc = R"doc(mean_picture(labels, rgb) -> uint8 array (H, W, 3)

rgb with every pixel replaced by the mean colour of its superpixel, rounded to
the nearest whole number; labels and rgb as for graph().)doc";

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
}

}  // namespace segmora::python
