// libFuzzer target: lineMaximum on small matrices against a walk in exact integer arithmetic.
// Within these sizes the single-precision error term is exact, so both must agree bit for bit.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "line_maximum.h"

namespace {

constexpr int maxSide = 16;

class ByteReader {
  public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int below(int limit) { return byte() % limit; }
    double value() {
        static const double special[] = {std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -1e300,
                                         0.1,
                                         -7.0,
                                         0.0,
                                         -0.0,
                                         1.0 + 1e-12};
        const std::uint8_t kind = byte();
        if (kind < 64) {
            return special[kind % 8];
        }
        std::uint64_t bits = 0;
        for (int k = 0; k < 8; ++k) {
            bits = bits << 8 | byte();
        }
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Visits the same pixels with the error term doubled, so every quantity is an integer.
double referenceWalk(int colA, int rowA, int colB, int rowB, const double* elements, int rows) {
    const bool steep = std::abs(rowB - rowA) > std::abs(colB - colA);
    int major0 = steep ? rowA : colA, minor0 = steep ? colA : rowA;
    int major1 = steep ? rowB : colB, minor1 = steep ? colB : rowB;
    if (major0 > major1) {
        std::swap(major0, major1);
        std::swap(minor0, minor1);
    }
    const int majorExtent = major1 - major0;
    const int minorExtent = std::abs(minor1 - minor0);
    int twiceError = majorExtent;
    int m = minor0;
    double best = lineprobe::NO_PIXEL_VISITED;
    for (int i = major0; i < major1; ++i) {
        const double v = steep ? elements[m * rows + i] : elements[i * rows + m];
        const double s = std::fabs(static_cast<float>(v));
        best = best > s ? best : s;
        twiceError -= 2 * minorExtent;
        if (twiceError < 0) {
            m += minor1 > minor0 ? 1 : -1;
            twiceError += 2 * majorExtent;
        }
    }
    return best;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const int rows = 1 + in.below(maxSide);
    const int cols = 1 + in.below(maxSide);
    const int colA = in.below(cols), rowA = in.below(rows);
    const int colB = in.below(cols), rowB = in.below(rows);
    // Sized exactly, so that any read outside the matrix trips AddressSanitizer.
    std::vector<double> elements(static_cast<std::size_t>(rows * cols));
    for (double& element : elements) {
        element = in.value();
    }
    const double got = lineprobe::lineMaximum(static_cast<float>(colA), static_cast<float>(rowA),
                                              static_cast<float>(colB), static_cast<float>(rowB),
                                              elements.data(), rows);
    const double want = referenceWalk(colA, rowA, colB, rowB, elements.data(), rows);
    const bool samePixel = colA == colB && rowA == rowB;
    const bool agree = std::isnan(want) ? std::isnan(got) : got == want;
    if (!agree || (samePixel && got != lineprobe::NO_PIXEL_VISITED)) {
        std::abort();
    }
    return 0;
}
