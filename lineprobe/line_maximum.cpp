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

// Below this major extent every error value the single-precision walk meets is a multiple of
// one half smaller than 2^23 in magnitude, so single precision holds it exactly and a walk on
// twice the error in integers moves the minor coordinate at the same pixels.
constexpr float exactExtentLimit = 8388608.0f;  // 2^23

// The walk as described: the error term in single precision. Kept for extents where single
// precision rounds the error, and for coordinates that are not whole numbers.
double walkRounding(const double* elements, std::int64_t start, std::int64_t end, std::int32_t m,
                    std::int64_t majorStride, std::int64_t minorStride, float majorExtent,
                    float minorExtent, std::int32_t minorStep) {
    float error = majorExtent * 0.5f;
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

// One step of the walk on twice the error in integers.
struct ExactStep {
    std::int64_t majorStride;
    std::int64_t minorStride;  // signed: the minor step's direction
    std::int64_t twiceMajor;
    std::int64_t twiceMinor;

    // Without a branch: on a slope the minor steps are as hard to predict as coin tosses, and
    // every mispredicted step would throw away the loads already started for later pixels.
    void operator()(const double*& pixel, std::int64_t& twiceError) const {
        twiceError -= twiceMinor;
        const std::int64_t carry = -static_cast<std::int64_t>(twiceError < 0);  // 0 or all ones
        pixel += majorStride + (minorStride & carry);
        twiceError += twiceMajor & carry;
    }

    // With a branch, cheaper where minor steps are rare and so predicted well.
    void rarelyAcross(const double*& pixel, std::int64_t& twiceError) const {
        pixel += majorStride;
        twiceError -= twiceMinor;
        if (twiceError < 0) {
            pixel += minorStride;
            twiceError += twiceMajor;
        }
    }
};

// How many pixels ahead of the walk a second walker asks for the memory. Lines that jump from
// column to column stall on each load otherwise; a small matrix pays a few instructions.
constexpr std::int64_t prefetchDistance = 64;

// `jumping`: the line changes column (or row) often; its memory is asked for ahead and its
// steps taken without a branch. Otherwise it mostly runs down a column, where the processor's
// own prefetching keeps up.
template <bool jumping>
double walkExact(const double* pixel, std::int64_t count, std::int64_t majorExtent,
                 const ExactStep& step) {
    std::int64_t twiceError = majorExtent;
    double best = NO_PIXEL_VISITED;
    const auto visit = [&best](const double* at) {
        const double sample = std::fabs(static_cast<float>(*at));
        best = best > sample ? best : sample;  // a NaN best gives way; a NaN sample wins
    };
    if (!jumping) {
        for (; count > 0; --count) {
            visit(pixel);
            step.rarelyAcross(pixel, twiceError);
        }
        return best;
    }
    if (count > prefetchDistance) {
        // The walker ahead only ever points at pixels of the line, the end pixel included.
        const double* ahead = pixel;
        std::int64_t aheadError = twiceError;
        for (std::int64_t k = 0; k < prefetchDistance; ++k) {
            step(ahead, aheadError);
        }
        for (count -= prefetchDistance; count > 0; --count) {
            __builtin_prefetch(ahead);
            step(ahead, aheadError);
            visit(pixel);
            step(pixel, twiceError);
        }
        count = prefetchDistance;
    }
    for (; count > 0; --count) {
        visit(pixel);
        step(pixel, twiceError);
    }
    return best;
}

bool isWhole(float x) {
    return x == std::trunc(x);
}

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
    const std::int32_t m = static_cast<std::int32_t>(first.minor);
    const std::int64_t start = static_cast<std::int32_t>(first.major);
    const std::int64_t end = static_cast<std::int32_t>(last.major);
    // A steep line steps down a column (contiguous); otherwise it steps across columns.
    const std::int64_t majorStride = steep ? 1 : rows;
    const std::int64_t minorStride = steep ? rows : 1;

    if (start >= end) {
        return NO_PIXEL_VISITED;
    }
    if (majorExtent < exactExtentLimit && minorExtent <= majorExtent && isWhole(majorExtent) &&
        isWhole(minorExtent)) {
        const auto major = static_cast<std::int64_t>(majorExtent);
        const auto minor = static_cast<std::int64_t>(minorExtent);
        const ExactStep step{majorStride, minorStep * minorStride, 2 * major, 2 * minor};
        const double* startPixel = elements + start * majorStride + std::int64_t{m} * minorStride;
        // Less than one column change per cache line of the column.
        const bool jumping = !(steep && minor * 8 < major);
        return jumping ? walkExact<true>(startPixel, end - start, major, step)
                       : walkExact<false>(startPixel, end - start, major, step);
    }
    return walkRounding(elements, start, end, m, majorStride, minorStride, majorExtent, minorExtent,
                        minorStep);
}

}  // namespace lineprobe
