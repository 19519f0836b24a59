#include "line_batch.h"

#include <cmath>
#include <system_error>
#include <thread>

#include "line_maximum.h"

namespace lineprobe {

namespace {

// Pixels the walk of `line` visits: its larger extent.
double pixelsOf(const LineEnds& line) {
    return std::fmax(std::fabs(line.colB - line.colA), std::fabs(line.rowB - line.rowA));
}

void walkAll(const LineEnds* lines, std::size_t begin, std::size_t end, const double* elements,
             std::int32_t rows, double* maxima) {
    for (std::size_t k = begin; k < end; ++k) {
        const LineEnds& line = lines[k];
        maxima[k] = lineMaximum(line.colA, line.rowA, line.colB, line.rowB, elements, rows);
    }
}

// The first line of the second half: the lines before it hold at least half the pixels.
std::size_t halfwayLine(const LineEnds* lines, std::size_t count, double pixels) {
    double before = 0;
    std::size_t k = 0;
    while (k < count && before < pixels / 2) {
        before += pixelsOf(lines[k++]);
    }
    return k;
}

}  // namespace

void lineMaxima(const LineEnds* lines, std::size_t count, const double* elements, std::int32_t rows,
                double* maxima) {
    double pixels = 0;
    for (std::size_t k = 0; k < count; ++k) {
        pixels += pixelsOf(lines[k]);
    }
    // NaN coordinates make `pixels` NaN, which fails this test too.
    if (!(pixels >= kPixelsWorthASecondThread) || std::thread::hardware_concurrency() < 2) {
        walkAll(lines, 0, count, elements, rows, maxima);
        return;
    }
    const std::size_t half = halfwayLine(lines, count, pixels);
    std::thread second;
    try {
        second = std::thread(walkAll, lines, half, count, elements, rows, maxima);
    } catch (const std::system_error&) {
        walkAll(lines, half, count, elements, rows, maxima);
    }
    walkAll(lines, 0, half, elements, rows, maxima);
    if (second.joinable()) {
        second.join();
    }
}

}  // namespace lineprobe
