#include "segment_options.h"

#include <cfloat>
#include <climits>
#include <cmath>

#include "argument_errors.h"

namespace segmora::bindings {

namespace {

double inRange(Knob knob, double value, double low, double high, bool whole,
               const HostStyle& style) {
    if (!(value >= low && value <= high) || (whole && std::trunc(value) != value)) {
        refuseOptionRange(knob, value, style);
    }
    return value;
}

}  // namespace

Parameters parametersFrom(const KnobValues& knobs, const HostStyle& style) {
    Parameters parameters;  // the photo defaults, for every knob not given
    if (knobs.threshold) {
        parameters.threshold = static_cast<float>(
            inRange(Knob::Threshold, *knobs.threshold, 0, FLT_MAX, false, style));
    }
    if (knobs.sigma) {
        parameters.sigma =
            static_cast<float>(inRange(Knob::Sigma, *knobs.sigma, 0, kMaxSigma, false, style));
    }
    if (knobs.capDivisor) {
        parameters.capDivisor =
            static_cast<int>(inRange(Knob::CapDivisor, *knobs.capDivisor, 1, INT_MAX, true, style));
    }
    if (knobs.minSize) {
        parameters.minSize =
            static_cast<int>(inRange(Knob::MinSize, *knobs.minSize, 0, INT_MAX, true, style));
    }
    if (knobs.count) {
        parameters.count =
            static_cast<int>(inRange(Knob::Count, *knobs.count, 1, INT_MAX, true, style));
    }
    return parameters;
}

int sampleBitsFrom(const KnobValues& knobs, const HostStyle& style) {
    if (!knobs.bitDepth) return 16;
    return static_cast<int>(inRange(Knob::BitDepth, *knobs.bitDepth, 8, 16, true, style));
}

int threadsFrom(double value, const HostStyle& style) {
    return static_cast<int>(inRange(Knob::Threads, value, 0, 64, true, style));
}

}  // namespace segmora::bindings
