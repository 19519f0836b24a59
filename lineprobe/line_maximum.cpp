#include "line_maximum.h"

#include <cmath>
#include <utility>

namespace lineprobe {

namespace {

// One endpoint of the walk: its coordinate along the stepping axis and across it.
struct AxisPoint {
    float major;
    float minor;
};

}  // namespace

// All set-up arithmetic stays in single precision on purpose: the pixels visited, and so the
// result, depend on how the error term rounds. This file must be built without FMA contraction.
double lineMaximum(float colA, float rowA, float colB, float rowB, const double* elements,
                   std::int32_t rows) {
    const float dx = std::fabs(colB - colA);
    const float dy = std::fabs(rowB - rowA);
    const bool steep = dy > dx;

    AxisPoint first = steep ? AxisPoint{rowA, colA} : AxisPoint{colA, rowA};
    AxisPoint last = steep ? AxisPoint{rowB, colB} : AxisPoint{colB, rowB};
    if (first.major > last.major) {
        std::swap(first, last);
    }

    const float majorExtent = last.major - first.major;
    const float minorExtent = std::fabs(last.minor - first.minor);
    const std::int32_t minorStep = last.minor > first.minor ? 1 : -1;
    float error = majorExtent * 0.5f;
    std::int32_t m = static_cast<std::int32_t>(first.minor);
    const std::int64_t start = static_cast<std::int32_t>(first.major);
    const std::int64_t end = static_cast<std::int32_t>(last.major);
    // A steep line steps down a column (contiguous); otherwise it steps across columns.
    const std::int64_t majorStride = steep ? 1 : rows;
    const std::int64_t minorStride = steep ? rows : 1;

    double best = NO_PIXEL_VISITED;
    for (std::int64_t i = start; i < end; ++i) {
        const double sample =
            std::fabs(static_cast<float>(elements[i * majorStride + m * minorStride]));
        if (!(best > sample)) {
            best = sample;
        }
        error -= minorExtent;
        if (error < 0.0f) {
            m += minorStep;
            error += majorExtent;
        }
    }
    return best;
}

}  // namespace lineprobe
