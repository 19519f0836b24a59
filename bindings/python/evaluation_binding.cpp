// The arguments are checked with the GIL held by the shared rules (label maps of any
// integer kind, the photo kinds segment() takes); the copies and the measures run without it.
#include "evaluation_binding.h"

#include <optional>
#include <string>
#include <vector>

#include "argument_errors.h"
#include "host_photo.h"
#include "label_maps.h"
#include "python_arguments.h"
#include "segmora/segmora.h"

namespace py = pybind11;
namespace bindings = segmora::bindings;
using bindings::python::BorrowedArray;
using bindings::python::kStyle;

namespace {

struct NamedMap {
    BorrowedArray array;
    std::string name;
};

// A truth or a list or tuple of them.
std::vector<NamedMap> truthsOf(const py::object& truths, bindings::PhotoSize size) {
    std::vector<NamedMap> maps;
    const bool several = py::isinstance<py::list>(truths) || py::isinstance<py::tuple>(truths);
    if (!several) {
        maps.push_back({bindings::python::borrowArray(truths), "truth"});
    } else {
        size_t k = 0;
        for (const py::handle item : truths) {
            maps.push_back({bindings::python::borrowArray(py::reinterpret_borrow<py::object>(item)),
                            "truths[" + std::to_string(k++) + "]"});
        }
    }
    for (const NamedMap& m : maps) bindings::checkLabelMap(m.array.array, m.name, &size, kStyle);
    return maps;
}

int toleranceOf(const py::object& value) {
    const bool isBool = py::isinstance<py::bool_>(value) ||
                        py::isinstance(value, py::module_::import("numpy").attr("bool_"));
    if (isBool || !py::isinstance(value, py::module_::import("numbers").attr("Real"))) {
        bindings::refuseToleranceKind(py::str(py::type::of(value).attr("__name__")));
    }
    double number = 0;
    try {
        number = py::float_(value).cast<double>();
    } catch (const py::error_already_set&) {  // an int too large for a double
        bindings::refuseTolerance(std::numeric_limits<double>::infinity());
    }
    return bindings::toleranceFrom(number);
}

py::dict resultOf(const segmora::Evaluation& e) {
    py::dict d;
    d["boundary_recall"] = e.boundaryRecall;
    d["boundary_precision"] = e.boundaryPrecision;
    d["undersegmentation_error"] = e.undersegmentationError;
    d["achievable_segmentation_accuracy"] = e.achievableAccuracy;
    d["explained_variation"] = e.explainedVariation;
    d["compactness"] = e.compactness;
    d["count"] = double(e.count);
    d["truths"] = double(e.truths);
    return d;
}

py::dict evaluateArrays(py::object labels, py::object truths, py::object rgb, py::object tolerance,
                        py::object ignoreZero) {
    return bindings::python::guarded("evaluate labels", [&] {
        const BorrowedArray labelArray = bindings::python::borrowArray(labels);
        const bindings::PhotoSize size =
            bindings::checkLabelMap(labelArray.array, "labels", nullptr, kStyle);
        const std::vector<NamedMap> truthArrays = truthsOf(truths, size);
        std::optional<BorrowedArray> photo;
        if (!rgb.is_none()) {
            photo = bindings::python::borrowArray(rgb);
            const bindings::PhotoSize photoSize = bindings::checkPhoto(photo->array, kStyle);
            if (photoSize.rows != size.rows || photoSize.columns != size.columns) {
                bindings::refuseLabelMapShape("rgb", photo->array.shape, {size.rows, size.columns},
                                              kStyle);
            }
        }
        segmora::EvaluationOptions options;
        options.tolerance = toleranceOf(tolerance);
        options.ignoreZero = py::bool_(ignoreZero).cast<bool>();

        segmora::Evaluation result;
        {
            py::gil_scoped_release unlocked;
            cv::Mat_<int> copy;
            segmora::Segmentation s{
                bindings::labelMapFrom(labelArray.array, size, "labels", kStyle, copy), 0};
            std::vector<cv::Mat_<int>> copies(truthArrays.size()), maps;
            for (size_t k = 0; k < truthArrays.size(); ++k) {
                maps.push_back(bindings::labelMapFrom(truthArrays[k].array.array, size,
                                                      truthArrays[k].name, kStyle, copies[k]));
            }
            if (photo) {
                cv::Mat bgr;
                bindings::photoFrom(photo->array, bindings::checkPhoto(photo->array, kStyle),
                                    kStyle, bgr);
                result = segmora::evaluate(s, maps, bgr, options);
            } else {
                result = segmora::evaluate(s, maps, options);
            }
        }
        return resultOf(result);
    });
}

}  // namespace

namespace segmora::python {

void addEvaluation(py::module_& module) {
    module.def("evaluate", &evaluateArrays, py::arg("labels"), py::arg("truths"), py::arg("rgb"),
               py::arg("tolerance"), py::arg("ignore_zero"));
}

}  // namespace segmora::python
