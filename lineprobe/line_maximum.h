// Largest absolute matrix value along a digital straight line between two pixels.
#pragma once

#include <cstdint>

namespace lineprobe {

// Returned when the walk visits no pixel, i.e. when the two pixels coincide. Every other
// result is an absolute value (or NaN), so it can never be mistaken for this one.
constexpr double NO_PIXEL_VISITED = -10000000.0;

// Walks the digital line from pixel A towards pixel B of a column-major matrix with `rows`
// rows and returns the largest absolute element value met, each element rounded to single
// precision before its magnitude is taken. The walk steps along the axis of the larger extent
// (columns on an exact diagonal), starts at the pixel with the smaller coordinate on that axis
// and stops before the other pixel, which is never visited. A NaN element replaces the running
// maximum, and the element after it replaces the NaN. The result does not depend on the order
// of the two pixels.
//
// Precondition (unchecked): both pixels lie inside the matrix and all four coordinates are
// whole numbers in [0, 2^24).
double lineMaximum(float colA, float rowA, float colB, float rowB, const double* elements,
                   std::int32_t rows);

}  // namespace lineprobe
