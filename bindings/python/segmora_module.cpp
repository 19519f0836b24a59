// The extension module segmora._segmora: segment(rgb, regions=None) -> (labels, count).
// Arguments are checked with the GIL held; copying the pixels in and running the engine
// happen without it, so several threads can segment photos side by side.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>

#include "graph_binding.h"
#include "pixel_layout.h"
#include "segmora/segmora.h"

namespace py = pybind11;
using segmora::bindings::Strides;

namespace {

constexpr std::int64_t kMaxPixels = std::int64_t{1} << 29;

// A host array checked and ready to be read without the GIL: `array` keeps it alive.
struct ArrayInput {
    py::array array;
    const void* data;
    Strides strides;  // in elements
    char kind;
    int itemSize;
};

std::string shapeOf(const py::array& array) {
    return py::str(array.attr("shape")).cast<std::string>();
}

std::string dtypeOf(const py::array& array) {
    return py::str(array.dtype()).cast<std::string>();
}

// The array behind `object`, in native byte order and with strides that are whole elements.
ArrayInput arrayInput(const py::object& object, const char* name) {
    if (!py::isinstance<py::array>(object)) {
        throw py::type_error(std::string(name) + " must be a numpy array, not " +
                             py::str(py::type::of(object).attr("__name__")).cast<std::string>());
    }
    auto array = py::reinterpret_borrow<py::array>(object);
    const auto itemSize = static_cast<py::ssize_t>(array.itemsize());
    if (itemSize <= 0) {
        throw py::type_error(std::string(name) + " must hold numbers, not " + dtypeOf(array));
    }
    bool usable = array.dtype().attr("isnative").cast<bool>();
    for (py::ssize_t d = 0; d < array.ndim(); ++d)
        usable = usable && array.strides(d) % itemSize == 0;
    if (!usable) {
        const py::object native = array.dtype().attr("newbyteorder")("=");
        array = py::module_::import("numpy").attr("ascontiguousarray")(array, native);
    }
    const auto stride = [&](py::ssize_t d) {
        return d < array.ndim() ? array.strides(d) / itemSize : 0;
    };
    return ArrayInput{array, array.data(), Strides{stride(0), stride(1), stride(2)},
                      array.dtype().kind(), static_cast<int>(itemSize)};
}

ArrayInput checkRgb(const py::object& object) {
    ArrayInput rgb = arrayInput(object, "rgb");
    if (rgb.kind != 'u' || rgb.itemSize != 1) {
        throw py::type_error("rgb must be a uint8 array, not " + dtypeOf(rgb.array));
    }
    const py::array& a = rgb.array;
    if (a.ndim() != 3 || a.shape(2) != 3) {
        throw py::value_error("rgb must have shape (H, W, 3), not " + shapeOf(a));
    }
    if (a.shape(0) == 0 || a.shape(1) == 0) {
        throw py::value_error("rgb must not be empty, its shape is " + shapeOf(a));
    }
    if (a.shape(0) * a.shape(1) >= kMaxPixels) {
        throw py::value_error("rgb of shape " + shapeOf(a) +
                              " has too many pixels (the limit is 2^29)");
    }
    return rgb;
}

ArrayInput checkRegions(const py::object& object, const py::array& rgb) {
    ArrayInput regions = arrayInput(object, "regions");
    if (regions.kind != 'i' && regions.kind != 'u') {
        throw py::type_error("regions must be an integer array, not " + dtypeOf(regions.array));
    }
    const py::array& a = regions.array;
    if (a.ndim() != 2 || a.shape(0) != rgb.shape(0) || a.shape(1) != rgb.shape(1)) {
        throw py::value_error("regions must have shape (" + std::to_string(rgb.shape(0)) + ", " +
                              std::to_string(rgb.shape(1)) + ") like rgb, not " + shapeOf(a));
    }
    return regions;
}

template <class T>
bool fitsInt32(T id) {
    constexpr std::int32_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t high = std::numeric_limits<std::int32_t>::max();
    if constexpr (std::is_signed_v<T>) {
        return id >= low && id <= high;
    } else {
        return id <= static_cast<std::uint32_t>(high);
    }
}

// The region ids as a row-major int matrix: a view of the array when it already is one,
// else `copy` filled with them.
template <class T>
cv::Mat_<int> readRegions(const ArrayInput& input, int rows, int columns, cv::Mat_<int>& copy) {
    const T* data = static_cast<const T*>(input.data);
    const Strides s = input.strides;
    if constexpr (sizeof(T) > 4 || (sizeof(T) == 4 && !std::is_signed_v<T>)) {
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) {
                const T id = data[y * s.row + x * s.column];
                if (!fitsInt32(id)) {
                    // Raised as ValueError once the GIL is back.
                    throw py::value_error("regions[" + std::to_string(y) + ", " +
                                          std::to_string(x) + "] = " + std::to_string(id) +
                                          " is outside the int32 range");
                }
            }
        }
    }
    if constexpr (std::is_same_v<T, std::int32_t>) {
        if (s.column == 1 && s.row >= columns) {
            return cv::Mat_<int>(rows, columns, const_cast<int*>(data),
                                 static_cast<size_t>(s.row) * sizeof(int));
        }
    }
    segmora::bindings::regionsFrom(data, rows, columns, s, copy);
    return copy;
}

cv::Mat_<int> readRegions(const ArrayInput& input, int rows, int columns, cv::Mat_<int>& copy) {
    const bool isSigned = input.kind == 'i';
    switch (input.itemSize) {
        case 1:
            return isSigned ? readRegions<std::int8_t>(input, rows, columns, copy)
                            : readRegions<std::uint8_t>(input, rows, columns, copy);
        case 2:
            return isSigned ? readRegions<std::int16_t>(input, rows, columns, copy)
                            : readRegions<std::uint16_t>(input, rows, columns, copy);
        case 4:
            return isSigned ? readRegions<std::int32_t>(input, rows, columns, copy)
                            : readRegions<std::uint32_t>(input, rows, columns, copy);
        default:
            return isSigned ? readRegions<std::int64_t>(input, rows, columns, copy)
                            : readRegions<std::uint64_t>(input, rows, columns, copy);
    }
}

// Hands the labels to numpy without a copy: the array owns the matrix through a capsule.
py::array_t<std::int32_t> labelArray(cv::Mat_<int>&& labels) {
    auto owner = std::make_unique<cv::Mat_<int>>(std::move(labels));
    const cv::Mat_<int>& m = *owner;
    py::capsule release(owner.get(), [](void* p) { delete static_cast<cv::Mat_<int>*>(p); });
    owner.release();
    return py::array_t<std::int32_t>(
        {m.rows, m.cols},
        {static_cast<py::ssize_t>(m.step[0]), static_cast<py::ssize_t>(sizeof(int))}, m.ptr<int>(),
        release);
}

// The copies of a call's photo and region ids, kept by a Segmenter from one call to the next.
struct Workspace {
    cv::Mat bgr;
    cv::Mat_<int> ids;
};

// Checks the arguments (GIL held), then copies the pixels in and runs `engine` without the
// GIL; `lock`, when given, is taken once the GIL is released.
py::tuple segmentWith(segmora::Segmenter& engine, Workspace& work, std::mutex* lock,
                      const py::object& rgbObject, const py::object& regionsObject) {
    const ArrayInput rgb = checkRgb(rgbObject);
    std::optional<ArrayInput> regions;
    if (!regionsObject.is_none()) regions = checkRegions(regionsObject, rgb.array);
    const auto rows = static_cast<int>(rgb.array.shape(0));
    const auto columns = static_cast<int>(rgb.array.shape(1));

    segmora::Segmentation result;
    {
        py::gil_scoped_release unlocked;
        std::unique_lock<std::mutex> guard;
        if (lock != nullptr) guard = std::unique_lock<std::mutex>(*lock);
        segmora::bindings::bgrFromRgb(static_cast<const std::uint8_t*>(rgb.data), rows, columns,
                                      rgb.strides, work.bgr);
        if (regions) {
            result = engine.segmentPhoto(work.bgr, readRegions(*regions, rows, columns, work.ids));
        } else {
            result = engine.segmentPhoto(work.bgr);
        }
    }
    return py::make_tuple(labelArray(std::move(result.labels)), result.count);
}

py::tuple segment(const py::object& rgb, const py::object& regions) {
    segmora::Segmenter engine;
    Workspace work;
    return segmentWith(engine, work, nullptr, rgb, regions);
}

// segmora.Segmenter: the engine's warm buffers and the copies of the last photo, kept until
// release() or the object's end. Threads may share one; their calls then take turns.
class Segmenter {
  public:
    py::tuple segment(const py::object& rgb, const py::object& regions) {
        return segmentWith(engine, work, &busy, rgb, regions);
    }

    void release() {
        py::gil_scoped_release unlocked;
        const std::lock_guard<std::mutex> guard(busy);
        engine.release();
        work = Workspace();
    }

  private:
    std::mutex busy;
    segmora::Segmenter engine;
    Workspace work;
};

const char* const kSegmentDoc = R"doc(segment(rgb, regions=None) -> (labels, count)

Divides a colour photo into superpixels, exactly as the Segmora program does.

rgb: numpy uint8 array of shape (H, W, 3), red-green-blue order. Any strides
    are accepted.
regions: optional integer array of shape (H, W), one region id per pixel; every
    value must fit in int32. Two superpixels merge only when their ids are
    equal (as with Segmora -r, whose size cap is then pixels / 3000 + 20
    instead of pixels / 500 + 20).

Returns labels, a numpy int32 array of shape (H, W) with values 1 .. count,
numbered in raster order of each superpixel's first pixel (the numbers the
program writes to its label file), and count, the number of superpixels.

Raises TypeError for a non-array or a wrong dtype, ValueError for a wrong
shape, an empty photo or a region id outside int32, MemoryError when memory
runs out. The GIL is released while the engine works.)doc";

}  // namespace

PYBIND11_MODULE(_segmora, module) {
    module.doc() = "Superpixels of colour photos: the compiled core of the segmora package.";
    module.attr("__version__") = SEGMORA_VERSION;
    module.def("segment", &segment, py::arg("rgb"), py::arg("regions") = py::none(), kSegmentDoc);
    py::class_<Segmenter>(module, "Segmenter", R"doc(Segmenter()

A worker for many photos: segment() as the module's function, but the engine's
buffers and the copy of the photo stay allocated from one call to the next, so
a series of photos does not touch fresh memory for each. release() gives them
back; so does the object's end. Threads may share a Segmenter (their calls take
turns); one Segmenter per thread lets them work side by side.)doc")
        .def(py::init<>())
        .def("segment", &Segmenter::segment, py::arg("rgb"), py::arg("regions") = py::none(),
             kSegmentDoc)
        .def("release", &Segmenter::release, "Gives back the buffers kept since the last call.");
    segmora::python::addGraph(module);
}
