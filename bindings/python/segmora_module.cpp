// The extension module segmora._segmora: segment() and Segmenter, which the package's
// __init__.py wraps with Python signatures. Every argument arrives as a plain object and is
// checked by the shared rules, so no call fails inside pybind11's own conversions (whose
// messages print whole arrays). Arguments are checked with the GIL held; converting the
// pixels and running the engine happen without it, so several threads can segment photos
// side by side.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "evaluation_binding.h"
#include "graph_binding.h"
#include "hierarchy_binding.h"
#include "photo_file_binding.h"
#include "host_mask.h"
#include "host_photo.h"
#include "python_arguments.h"
#include "segment_options.h"
#include "segmora/segmora.h"
#include "segmora_version.h"
#include "tiled_binding.h"

namespace py = pybind11;
namespace bindings = segmora::bindings;
using bindings::python::kStyle;

namespace {

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
struct PhotoCopies {
    cv::Mat bgr;
    cv::Mat_<int> ids;
};

// One call's arguments as objects, in the order of the Python signature.
struct CallArguments {
    py::object rgb, regions, threshold, sigma, capDivisor, minSize, out, mask;
    py::object count = py::none();
};

// The caller's array for the labels: a writeable, C-contiguous int32 array of the photo's
// height and width; raises TypeError or ValueError otherwise.
py::array labelsArrayOf(const py::object& out, const bindings::PhotoSize& size) {
    if (!py::isinstance<py::array>(out)) {
        throw py::type_error("segment: out must be a numpy.ndarray of int32, not " +
                             py::str(py::type::of(out).attr("__name__")).cast<std::string>());
    }
    auto array = py::reinterpret_borrow<py::array>(out);
    // Any dtype numpy holds equivalent to int32 (one with metadata too), not only that object.
    if (!array.dtype().equal(py::dtype::of<std::int32_t>())) {
        throw py::type_error("segment: out must have dtype int32, not " +
                             py::str(array.dtype()).cast<std::string>());
    }
    const std::string shape =
        "(" + std::to_string(size.rows) + ", " + std::to_string(size.columns) + ")";
    if (array.ndim() != 2 || array.shape(0) != size.rows || array.shape(1) != size.columns) {
        throw py::value_error("segment: out must have rgb's height and width " + shape + ", not " +
                              py::str(out.attr("shape")).cast<std::string>());
    }
    if (!(array.flags() & py::array::c_style)) {
        throw py::value_error("segment: out must be C-contiguous");
    }
    if (!array.writeable()) throw py::value_error("segment: out must be writeable");
    return array;
}

bindings::KnobValues knobsOf(const CallArguments& call) {
    using bindings::Knob;
    using bindings::python::knobValue;
    bindings::KnobValues knobs{knobValue(call.threshold, Knob::Threshold, false),
                               knobValue(call.sigma, Knob::Sigma, false),
                               knobValue(call.capDivisor, Knob::CapDivisor, true),
                               knobValue(call.minSize, Knob::MinSize, false)};
    knobs.count = knobValue(call.count, Knob::Count, true);
    return knobs;
}

// Checks the arguments (GIL held), then converts the pixels and runs `engine` without the
// GIL; `lock`, when given, is taken once the GIL is released.
py::tuple segmentWith(segmora::Segmenter& engine, PhotoCopies& work, std::mutex* lock,
                      const CallArguments& call) {
    const bindings::python::BorrowedArray rgb = bindings::python::borrowArray(call.rgb);
    const bindings::PhotoSize size = bindings::checkPhoto(rgb.array, kStyle);
    std::optional<bindings::python::BorrowedArray> regions;
    if (!call.regions.is_none()) {
        regions = bindings::python::borrowArray(call.regions);
        bindings::checkRegions(regions->array, size, kStyle);
    }
    std::optional<bindings::python::BorrowedArray> mask;
    if (!call.mask.is_none()) {
        mask = bindings::python::borrowArray(call.mask);
        bindings::checkMask(mask->array, size, kStyle);
    }
    const segmora::Parameters parameters = bindings::parametersFrom(knobsOf(call), kStyle);
    std::optional<py::array> out;
    if (!call.out.is_none()) out = labelsArrayOf(call.out, size);

    cv::Mat_<int> labels;
    if (out)
        labels = cv::Mat_<int>(size.rows, size.columns, static_cast<int*>(out->mutable_data()));
    int count = 0;
    {
        py::gil_scoped_release unlocked;
        std::unique_lock<std::mutex> guard;
        if (lock != nullptr) guard = std::unique_lock<std::mutex>(*lock);
        bindings::photoFrom(rgb.array, size, kStyle, work.bgr);
        cv::Mat_<int> ids;
        if (regions) ids = bindings::regionsFrom(regions->array, size, kStyle, work.ids);
        cv::Mat inside;
        if (mask) inside = bindings::maskFrom(mask->array, size, kStyle);
        count = engine.segmentPhotoInto(work.bgr, ids, parameters, inside, labels);
    }
    if (out) return py::make_tuple(*out, count);
    return py::make_tuple(labelArray(std::move(labels)), count);
}

std::string workOf(const py::object& rgb) {
    const py::object shape = py::getattr(rgb, "shape", py::none());
    return "segment rgb" +
           (shape.is_none() ? std::string() : " of shape " + py::str(shape).cast<std::string>());
}

py::tuple segment(py::object rgb, py::object regions, py::object threshold, py::object sigma,
                  py::object capDivisor, py::object minSize, py::object out, py::object mask,
                  py::object count) {
    const CallArguments call{rgb, regions, threshold, sigma, capDivisor, minSize, out, mask,
                             count};
    return bindings::python::guarded(workOf(rgb), [&] {
        segmora::Segmenter engine;
        PhotoCopies work;
        return segmentWith(engine, work, nullptr, call);
    });
}

// The engine's warm buffers and the copies of the last photo, kept until release() or the
// object's end. Threads may share one; their calls then take turns.
class Segmenter {
  public:
    explicit Segmenter(const py::object& threads)
        : engine(bindings::python::guarded("make a Segmenter", [&] {
              return bindings::threadsFrom(
                  *bindings::python::knobValue(threads, bindings::Knob::Threads, false), kStyle);
          })) {}

    py::tuple segment(py::object rgb, py::object regions, py::object threshold, py::object sigma,
                      py::object capDivisor, py::object minSize, py::object out, py::object mask,
                      py::object count) {
        const CallArguments call{rgb, regions, threshold, sigma, capDivisor, minSize, out, mask,
                                 count};
        return bindings::python::guarded(workOf(rgb),
                                         [&] { return segmentWith(engine, work, &busy, call); });
    }

    void release() {
        py::gil_scoped_release unlocked;
        const std::lock_guard<std::mutex> guard(busy);
        engine.release();
        work = PhotoCopies();
    }

    int threads() const { return engine.threads(); }

  private:
    std::mutex busy;
    segmora::Segmenter engine;
    PhotoCopies work;
};

}  // namespace

PYBIND11_MODULE(_segmora, module) {
    module.doc() = "The compiled core of the segmora package; use the package's functions.";
    module.attr("__version__") = SEGMORA_VERSION;
    // The photo defaults of segmora.h: the package's signatures and help take them from here.
    module.attr("DEFAULT_THRESHOLD") = static_cast<double>(segmora::kDefaultThreshold);
    module.attr("DEFAULT_SIGMA") = static_cast<double>(segmora::kDefaultSigma);
    module.attr("DEFAULT_MIN_SIZE") = segmora::kMinSegmentSize;
    module.attr("PHOTO_CAP_DIVISOR") = segmora::kPhotoCapDivisor;
    module.attr("PHOTO_CAP_DIVISOR_WITH_REGIONS") = segmora::kPhotoCapDivisorWithRegions;
    module.def("segment", &segment, py::arg("rgb"), py::arg("regions"), py::arg("threshold"),
               py::arg("sigma"), py::arg("cap_divisor"), py::arg("min_size"), py::arg("out"),
               py::arg("mask"), py::arg("count"));
    py::class_<Segmenter>(module, "Segmenter")
        .def(py::init<py::object>(), py::arg("threads"))
        .def("segment", &Segmenter::segment, py::arg("rgb"), py::arg("regions"),
             py::arg("threshold"), py::arg("sigma"), py::arg("cap_divisor"), py::arg("min_size"),
             py::arg("out"), py::arg("mask"), py::arg("count"))
        .def("release", &Segmenter::release)
        .def_property_readonly("threads", &Segmenter::threads);
    segmora::python::addHierarchy(module);
    segmora::python::addGraph(module);
    segmora::python::addEvaluation(module);
    segmora::python::addPhotoFile(module);
    segmora::python::addTiled(module);
}
