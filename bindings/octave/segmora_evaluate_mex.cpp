// MEX entry of `s = segmora_evaluate(labels, truths, rgb, 'Tolerance', 2, 'IgnoreZero', false)`:
// the superpixel measures as a struct. The arguments are read by the rules the bindings
// share; all C++ work happens inside one function that reports failure as plain data, and
// the MEX error is raised only after every C++ object is gone.
#include <string>
#include <vector>

#include "argument_errors.h"
#include "host_photo.h"
#include "label_maps.h"
#include "mex.h"
#include "octave_arrays.h"
#include "segmora/segmora.h"

namespace {

namespace bindings = segmora::bindings;
using namespace bindings::octave;

enum { IN_LABELS, IN_TRUTHS, IN_RGB };

const char* const kFields[] = {"BoundaryRecall",
                               "BoundaryPrecision",
                               "UndersegmentationError",
                               "AchievableSegmentationAccuracy",
                               "ExplainedVariation",
                               "Compactness",
                               "Count",
                               "Truths"};

struct Named {
    const mxArray* array;
    std::string name;
};

// A truth matrix or a cell array of them.
std::vector<Named> truthsOf(const mxArray* truths) {
    if (!mxIsCell(truths)) return {{truths, "truths"}};
    std::vector<Named> maps;
    for (size_t k = 0; k < mxGetNumberOfElements(truths); ++k) {
        const mxArray* item = mxGetCell(truths, k);
        const std::string name = "truths{" + std::to_string(k + 1) + "}";
        if (item == nullptr) bindings::refuseRegionsKind("[] (an empty cell)", kStyle, name);
        maps.push_back({item, name});
    }
    return maps;
}

int toleranceOf(const mxArray* value) {
    if (!mxIsNumeric(value) || mxIsComplex(value) || mxIsSparse(value) ||
        mxGetNumberOfElements(value) != 1) {
        std::string kind = kindOf(value);
        if (mxGetNumberOfElements(value) != 1) {
            kind = shapeText(hostArray(value).shape, kStyle) + " " + kind;
        }
        bindings::refuseToleranceKind(kind);
    }
    return bindings::toleranceFrom(mxGetScalar(value));
}

segmora::EvaluationOptions optionsOf(int nrhs, const mxArray* prhs[], int first) {
    segmora::EvaluationOptions options;
    for (int k = first; k < nrhs; k += 2) {
        if (!mxIsChar(prhs[k])) bindings::refuseOptionName(kindOf(prhs[k]), k + 1);
        const std::string name = textOf(prhs[k]);
        if (k + 1 >= nrhs) bindings::refuseMissingValue(name);
        const std::string key = lowerCase(name);
        if (key == "tolerance") {
            options.tolerance = toleranceOf(prhs[k + 1]);
        } else if (key == "ignorezero") {
            const mxArray* v = prhs[k + 1];
            if ((!mxIsLogical(v) && !mxIsNumeric(v)) || mxGetNumberOfElements(v) != 1) {
                throw bindings::ArgumentError(
                    bindings::Problem::OptionKind,
                    "IgnoreZero must be true or false (a logical or numeric scalar), not " +
                        kindOf(v) + " (argument " + std::to_string(k + 2) + ")");
            }
            options.ignoreZero = mxGetScalar(v) != 0;
        } else {
            throw bindings::ArgumentError(
                bindings::Problem::OptionUnknown,
                "unknown option '" + name + "' (known: Tolerance, IgnoreZero)");
        }
    }
    return options;
}

// Reads the call and scores the labels into `scores` (one per field).
Failure evaluateInto(int nrhs, const mxArray* prhs[], double* scores) {
    try {
        const bindings::HostArray labelArray = hostArray(prhs[IN_LABELS]);
        const bindings::PhotoSize size =
            bindings::checkLabelMap(labelArray, "labels", nullptr, kStyle);
        const std::vector<Named> truths = truthsOf(prhs[IN_TRUTHS]);
        for (const Named& t : truths)
            bindings::checkLabelMap(hostArray(t.array), t.name, &size, kStyle);
        int first = IN_RGB;
        const mxArray* rgb = nullptr;
        if (nrhs > IN_RGB && !mxIsChar(prhs[IN_RGB])) {
            first = IN_RGB + 1;
            // [] (0-by-0 of any kind) means no photo.
            if (!(mxGetM(prhs[IN_RGB]) == 0 && mxGetN(prhs[IN_RGB]) == 0)) rgb = prhs[IN_RGB];
        }
        cv::Mat bgr;
        if (rgb != nullptr) {
            const bindings::HostArray photo = hostArray(rgb);
            const bindings::PhotoSize photoSize = bindings::checkPhoto(photo, kStyle);
            if (photoSize.rows != size.rows || photoSize.columns != size.columns) {
                bindings::refuseLabelMapShape("rgb", photo.shape, {size.rows, size.columns},
                                              kStyle);
            }
            bindings::photoFrom(photo, photoSize, kStyle, bgr);
        }
        const segmora::EvaluationOptions options = optionsOf(nrhs, prhs, first);

        cv::Mat_<int> copy;
        const segmora::Segmentation s{
            bindings::labelMapFrom(labelArray, size, "labels", kStyle, copy), 0};
        std::vector<cv::Mat_<int>> maps(truths.size());
        for (size_t k = 0; k < truths.size(); ++k) {
            cv::Mat_<int> own;
            maps[k] = bindings::labelMapFrom(hostArray(truths[k].array), size, truths[k].name,
                                             kStyle, own);
            if (maps[k].data != own.data) maps[k] = maps[k].clone();
        }
        const segmora::Evaluation e = rgb != nullptr ? segmora::evaluate(s, maps, bgr, options)
                                                     : segmora::evaluate(s, maps, options);
        const double values[] = {e.boundaryRecall,         e.boundaryPrecision,
                                 e.undersegmentationError, e.achievableAccuracy,
                                 e.explainedVariation,     e.compactness,
                                 double(e.count),          double(e.truths)};
        std::copy(std::begin(values), std::end(values), scores);
    } catch (...) {
        return failureOf(std::current_exception(), "evaluate labels");
    }
    return Failure();
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    if (nrhs < 2) {
        mexErrMsgIdAndTxt("segmora:nargin",
                          "expected the inputs labels and truths, then optionally rgb and "
                          "name-value options; got %d",
                          nrhs);
    }
    if (nlhs > 1) mexErrMsgIdAndTxt("segmora:nargout", "returns 1 output, %d asked", nlhs);
    double scores[8] = {};
    const Failure failure = evaluateInto(nrhs, prhs, scores);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    plhs[0] = mxCreateStructMatrix(1, 1, 8, const_cast<const char**>(kFields));
    for (int f = 0; f < 8; ++f) mxSetFieldByNumber(plhs[0], 0, f, mxCreateDoubleScalar(scores[f]));
}
