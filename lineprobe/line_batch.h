// lineMaximum for many lines at once, over two threads when the lines are long enough.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lineprobe {

// The two pixels of one line: columns and rows, counted from 0.
struct LineEnds {
    float colA;
    float rowA;
    float colB;
    float rowB;
};

// Below this many pixels in all, the lines are walked on the calling thread alone: a second
// thread costs tens of microseconds to start.
constexpr double kPixelsWorthASecondThread = 1 << 19;

// maxima[k] = lineMaximum(lines[k]..., elements, rows) for k < count, with the same
// precondition. When the lines hold at least kPixelsWorthASecondThread pixels together and the
// machine has a second core, a second thread walks the later lines, split so that both threads
// visit about as many pixels; each result is the same as on one thread. If no thread can be
// started, the calling thread walks them all.
void lineMaxima(const LineEnds* lines, std::size_t count, const double* elements, std::int32_t rows,
                double* maxima);

}  // namespace lineprobe
