#include "octave_segment_call.h"

#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <string>

#include "argument_errors.h"
#include "host_mask.h"
#include "segment_options.h"
#include "text_case.h"

namespace segmora::bindings::octave {

namespace {

enum { IN_RGB, IN_REGIONS };

// The value of option `knob`: a real number.
double knobValue(const mxArray* value, Knob knob) {
    if (!mxIsNumeric(value) || mxIsComplex(value) || mxIsSparse(value) ||
        mxGetNumberOfElements(value) != 1) {
        const HostArray shape = hostArray(value);
        std::string kind = kindOf(value);
        if (mxGetNumberOfElements(value) != 1) kind = shapeText(shape.shape, kStyle) + " " + kind;
        refuseOptionKind(knob, kind, kStyle);
    }
    return mxGetScalar(value);
}

// The counts of 'Counts': a double vector (or one number of any real class) of whole
// numbers from 1 up.
std::vector<int> countsOf(const mxArray* value) {
    const size_t n = mxGetNumberOfElements(value);
    if (!mxIsNumeric(value) || mxIsComplex(value) || mxIsSparse(value) || n == 0 ||
        (n > 1 && !mxIsDouble(value)) || mxGetNumberOfDimensions(value) != 2 ||
        (mxGetM(value) > 1 && mxGetN(value) > 1)) {
        throw ArgumentError(Problem::OptionKind,
                            "Counts must be a non-empty vector of real numbers (double), not " +
                                shapeText(hostArray(value).shape, kStyle) + " " + kindOf(value));
    }
    std::vector<int> counts;
    for (size_t k = 0; k < n; ++k) {
        const double count = n == 1 ? mxGetScalar(value) : mxGetPr(value)[k];
        if (!(count >= 1 && count <= std::numeric_limits<int>::max()) || std::floor(count) != count)
            throw ArgumentError(Problem::OptionRange,
                                "Counts must be whole numbers of at least 1, not " +
                                    numberText(count));
        counts.push_back(static_cast<int>(count));
    }
    return counts;
}

// The name-value pairs from argument `first` on; 'Mask' goes to `call.mask`, 'Counts' (when
// `takesCounts`) to `call.counts`.
KnobValues knobsOf(int nrhs, const mxArray* prhs[], int first, bool takesCounts,
                   SegmentCall& call) {
    KnobValues knobs;
    for (int k = first; k < nrhs; k += 2) {
        if (!mxIsChar(prhs[k])) refuseOptionName(kindOf(prhs[k]), k + 1);
        const std::string name = textOf(prhs[k]);
        if (k + 1 >= nrhs) refuseMissingValue(name);
        const std::string key = lowerCase(name);
        if (key == "mask") {
            call.mask = prhs[k + 1];
            continue;
        }
        if (takesCounts && key == "counts") {
            call.counts = countsOf(prhs[k + 1]);
            continue;
        }
        std::optional<double>* slot = nullptr;
        Knob knob = Knob::Threshold;
        if (key == "threshold") slot = &knobs.threshold, knob = Knob::Threshold;
        if (key == "sigma") slot = &knobs.sigma, knob = Knob::Sigma;
        if (key == "capdivisor") slot = &knobs.capDivisor, knob = Knob::CapDivisor;
        if (key == "minsize") slot = &knobs.minSize, knob = Knob::MinSize;
        if (key == "bitdepth") slot = &knobs.bitDepth, knob = Knob::BitDepth;
        if (!takesCounts && key == "count") slot = &knobs.count, knob = Knob::Count;
        if (slot == nullptr) refuseUnknownOption(name, kStyle);
        *slot = knobValue(prhs[k + 1], knob);
    }
    return knobs;
}

}  // namespace

Failure checkSegmentCall(int nrhs, const mxArray* prhs[], bool takesCounts, SegmentCall& call) {
    try {
        call.rgb = prhs[IN_RGB];
        call.size = checkPhoto(hostArray(call.rgb), kStyle);
        int options = IN_REGIONS;
        if (nrhs > IN_REGIONS && !mxIsChar(prhs[IN_REGIONS])) {
            options = IN_REGIONS + 1;
            const mxArray* regions = prhs[IN_REGIONS];
            // [] (0-by-0 of any kind) means no region map.
            if (!(mxGetM(regions) == 0 && mxGetN(regions) == 0 && mxIsNumeric(regions))) {
                checkRegions(hostArray(regions), call.size, kStyle);
                call.regions = regions;
            }
        }
        const KnobValues knobs = knobsOf(nrhs, prhs, options, takesCounts, call);
        call.parameters = parametersFrom(knobs, kStyle);
        call.sampleBits = sampleBitsFrom(knobs, kStyle);
        if (call.mask != nullptr) checkMask(hostArray(call.mask), call.size, kStyle);
    } catch (...) {
        return failureOf(std::current_exception(), "segment rgb");
    }
    return Failure();
}

void photoOfCall(const SegmentCall& call, cv::Mat& bgr, cv::Mat_<int>& ids, cv::Mat_<int>& idCopy,
                 cv::Mat& inside) {
    photoFrom(hostArray(call.rgb), call.size, kStyle, bgr, call.sampleBits);
    if (call.regions != nullptr) ids = regionsFrom(hostArray(call.regions), call.size, kStyle, idCopy);
    if (call.mask != nullptr) inside = maskFrom(hostArray(call.mask), call.size, kStyle);
}

}  // namespace segmora::bindings::octave
