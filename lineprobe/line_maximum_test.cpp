#include "line_maximum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace lineprobe {
namespace {

using Pixel = std::pair<int, int>;  // (column, row)
using Pixels = std::vector<Pixel>;

// A column-major grid that is deliberately not square, so swapped strides show up.
constexpr int gridCols = 7;
constexpr int gridRows = 8;

double walk(Pixel a, Pixel b, const std::vector<double>& grid, int rows) {
    return lineMaximum(static_cast<float>(a.first), static_cast<float>(a.second),
                       static_cast<float>(b.first), static_cast<float>(b.second), grid.data(),
                       rows);
}

// Finds the visited set by lighting one pixel at a time: the walk returns 1 exactly when it
// passes the lit pixel. Pixels come out in (column, row) order.
Pixels visitedPixels(Pixel a, Pixel b) {
    Pixels visited;
    std::vector<double> grid(gridCols * gridRows, 0.0);
    for (int col = 0; col < gridCols; ++col) {
        for (int row = 0; row < gridRows; ++row) {
            double& cell = grid[col * gridRows + row];
            cell = 1.0;
            if (walk(a, b, grid, gridRows) == 1.0) {
                visited.emplace_back(col, row);
            }
            cell = 0.0;
        }
    }
    return visited;
}

struct WalkCase {
    Pixel a;
    Pixel b;
    Pixels visited;  // sorted by column, then row
};

TEST(LineMaximumWalk, VisitsTheExpectedPixelsInEitherOrder) {
    const std::vector<WalkCase> cases = {
        {{0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},  // error hits 0: row stays
        {{0, 2}, {4, 0}, {{0, 2}, {1, 2}, {2, 1}, {3, 1}}},
        {{0, 0}, {2, 4}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},  // steep
        {{0, 0}, {5, 1}, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}}},
        {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},                  // diagonal is not steep
        {{0, 4}, {4, 0}, {{0, 4}, {1, 3}, {2, 2}, {3, 1}}},          // anti-diagonal
        {{1, 3}, {6, 3}, {{1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}}},  // horizontal
        {{2, 5}, {2, 1}, {{2, 1}, {2, 2}, {2, 3}, {2, 4}}},          // vertical
        {{6, 7}, {0, 6}, {{0, 6}, {1, 6}, {2, 6}, {3, 6}, {4, 7}, {5, 7}}},  // far corner
        {{2, 2}, {3, 2}, {{2, 2}}},  // neighbours: only the smaller major coordinate
        {{2, 3}, {2, 2}, {{2, 2}}},
        {{3, 3}, {2, 2}, {{2, 2}}},
        {{2, 3}, {3, 2}, {{2, 3}}},
        {{5, 5}, {5, 5}, {}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.a.first << "," << c.a.second << ") to ("
                                        << c.b.first << "," << c.b.second << ")");
        EXPECT_EQ(visitedPixels(c.a, c.b), c.visited);
        EXPECT_EQ(visitedPixels(c.b, c.a), c.visited);
    }
}

// Past 2^23 the single-precision error term can no longer hold its half-units, and the row
// moves later than exact arithmetic would move it. Calloc'd memory stays mostly unbacked.
TEST(LineMaximumWalk, ErrorTermRoundsInSinglePrecision) {
    constexpr std::int64_t cols = 8388614;  // 2^23 + 6: the walk spans 2^23 + 5 columns
    constexpr std::int64_t rows = 3;
    constexpr std::int64_t divergingColumn = 6291460;
    const std::unique_ptr<double, decltype(&std::free)> grid(
        static_cast<double*>(std::calloc(cols * rows, sizeof(double))), &std::free);
    ASSERT_NE(grid, nullptr);
    grid.get()[divergingColumn * rows + 1] = 7.0;  // still row 1 in single precision
    grid.get()[divergingColumn * rows + 2] = 9.0;  // already row 2 in exact arithmetic
    EXPECT_EQ(lineMaximum(0.0f, 0.0f, float{cols - 1}, 2.0f, grid.get(), rows), 7.0);
}

TEST(LineMaximumWalk, CoincidingPixelsGiveTheSentinel) {
    const std::vector<double> grid(gridCols * gridRows, 3.0);
    EXPECT_EQ(walk({5, 5}, {5, 5}, grid, gridRows), -10000000.0);
    EXPECT_EQ(NO_PIXEL_VISITED, -10000000.0);
}

// The samples lie on row 0 of a one-row matrix and are visited left to right. A huge value
// follows them in the end pixel, which must not count.
double walkSamples(std::vector<double> samples, bool reversed) {
    const int n = static_cast<int>(samples.size());
    samples.push_back(1e9);
    return reversed ? walk({n, 0}, {0, 0}, samples, 1) : walk({0, 0}, {n, 0}, samples, 1);
}

TEST(LineMaximumValues, MagnitudesRoundedToSingleAndNanRule) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::vector<double> samples;
        double expected;
    } cases[] = {
        {{0.0, 0.0, -0.0}, 0.0},   {{5.0, -7.0, 2.0}, 7.0}, {{-0.1}, 0.100000001490116119384765625},
        {{1.0 + 1e-12, 1.0}, 1.0},  // equal in single precision
        {{3.0, -1e300}, inf},       // beyond single range
        {{5.0, nan, 1.0}, 1.0},     // the sample after a NaN replaces it
        {{nan, 0.5, 0.25}, 0.5},   {{5.0, 1.0, nan}, nan},
    };
    for (const auto& c : cases) {
        for (bool reversed : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "first sample " << c.samples[0] << ", " << c.samples.size()
                         << " samples, reversed " << reversed);
            const double result = walkSamples(c.samples, reversed);
            if (std::isnan(c.expected)) {
                EXPECT_TRUE(std::isnan(result)) << result;
            } else {
                EXPECT_EQ(result, c.expected);
            }
        }
    }
}

// The walk exactly as described, one pixel at a time with the error term in single precision:
// the offsets it visits, in order. Every faster path must agree with it bit for bit.
std::vector<std::int64_t> plainPath(float colA, float rowA, float colB, float rowB,
                                    std::int32_t rows) {
    const bool steep = std::fabs(rowB - rowA) > std::fabs(colB - colA);
    float major0 = steep ? rowA : colA, minor0 = steep ? colA : rowA;
    float major1 = steep ? rowB : colB, minor1 = steep ? colB : rowB;
    if (major0 > major1) {
        std::swap(major0, major1);
        std::swap(minor0, minor1);
    }
    const float majorExtent = major1 - major0;
    const float minorExtent = std::fabs(minor1 - minor0);
    float error = majorExtent * 0.5f;
    std::int32_t m = static_cast<std::int32_t>(minor0);
    std::vector<std::int64_t> path;
    for (std::int64_t i = static_cast<std::int32_t>(major0); i < static_cast<std::int32_t>(major1);
         ++i) {
        path.push_back(steep ? std::int64_t{m} * rows + i : i * rows + m);
        error -= minorExtent;
        if (error < 0.0f) {
            m += minor1 > minor0 ? 1 : -1;
            error += majorExtent;
        }
    }
    return path;
}

double plainWalk(float colA, float rowA, float colB, float rowB, const double* elements,
                 std::int32_t rows) {
    double best = NO_PIXEL_VISITED;
    for (const std::int64_t offset : plainPath(colA, rowA, colB, rowB, rows)) {
        const double sample = std::fabs(static_cast<float>(elements[offset]));
        if (!(best > sample)) {
            best = sample;
        }
    }
    return best;
}

std::uint64_t bitsOf(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// A matrix of mixed magnitudes and signs, with NaNs (two payloads), infinities and values that
// only single precision makes equal. Sized exactly, so stray reads show under AddressSanitizer.
std::vector<double> randomMatrix(int cols, int rows, std::mt19937& random) {
    const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -1e300,
                               0.1,
                               1.0 + 1e-12,
                               1.0,
                               0.0};
    std::normal_distribution<double> normal;
    std::uniform_int_distribution<int> kind(0, 19);
    std::vector<double> elements(static_cast<std::size_t>(cols) * rows);
    for (double& x : elements) {
        const int k = kind(random);
        x = k < 8 ? specials[k] : normal(random) * std::pow(10.0, k - 14);
    }
    return elements;
}

void expectSameAsPlainWalk(int colA, int rowA, int colB, int rowB,
                           const std::vector<double>& elements, int rows) {
    const float ca = colA, ra = rowA, cb = colB, rb = rowB;
    EXPECT_EQ(bitsOf(lineMaximum(ca, ra, cb, rb, elements.data(), rows)),
              bitsOf(plainWalk(ca, ra, cb, rb, elements.data(), rows)))
        << "(" << colA << "," << rowA << ") to (" << colB << "," << rowB << ") in "
        << elements.size() / rows << " x " << rows;
}

TEST(LineMaximumFastWalk, SameAsThePlainWalkOnRandomLines) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 300; ++trial) {
        const int cols = 1 + static_cast<int>(random() % 40);
        const int rows = 1 + static_cast<int>(random() % 40);
        const std::vector<double> elements = randomMatrix(cols, rows, random);
        for (int line = 0; line < 20; ++line) {
            expectSameAsPlainWalk(random() % cols, random() % rows, random() % cols,
                                  random() % rows, elements, rows);
        }
    }
}

// Every pair of pixels on the border of small matrices: corners, edges, flat, steep and
// diagonal lines, lines one pixel short of diagonal, and coinciding pixels.
TEST(LineMaximumFastWalk, SameAsThePlainWalkBetweenBorderPixels) {
    std::mt19937 random(12);
    for (const auto& [cols, rows] : {std::pair{1, 1}, {1, 9}, {9, 1}, {7, 7}, {13, 5}, {4, 17}}) {
        const std::vector<double> elements = randomMatrix(cols, rows, random);
        std::vector<Pixel> border;
        for (int col = 0; col < cols; ++col) {
            for (int row = 0; row < rows; ++row) {
                if (col == 0 || row == 0 || col == cols - 1 || row == rows - 1) {
                    border.emplace_back(col, row);
                }
            }
        }
        for (const Pixel& a : border) {
            for (const Pixel& b : border) {
                expectSameAsPlainWalk(a.first, a.second, b.first, b.second, elements, rows);
            }
        }
    }
}

// Long lines through a large matrix, with slopes near 0, 1 and infinity where the error term
// reaches exactly zero or one step wraps. A maximum over so many values rarely shows a stray
// pixel, so each line runs through a matrix of zeros in which the plain walk's pixels hold 0.5
// (the last 0.75) and their neighbours across the line and the end pixel 1: the result is 0.75
// only if the walk keeps to the path to its last pixel.
TEST(LineMaximumFastWalk, KeepsToThePlainPathOnLongNearlyStraightLines) {
    constexpr int side = 1500;
    constexpr int last = side - 1;
    std::vector<double> elements(side * side, 0.0);
    const auto check = [&](int colA, int rowA, int colB, int rowB) {
        const float ca = colA, ra = rowA, cb = colB, rb = rowB;
        const std::vector<std::int64_t> path = plainPath(ca, ra, cb, rb, side);
        const std::int64_t across = std::abs(rowB - rowA) > std::abs(colB - colA) ? side : 1;
        for (const std::int64_t offset : path) {
            for (const std::int64_t neighbour : {offset - across, offset + across}) {
                if (neighbour >= 0 && neighbour < side * side) elements[neighbour] = 1.0;
            }
        }
        const std::int64_t ends[] = {std::int64_t{colA} * side + rowA,
                                     std::int64_t{colB} * side + rowB};
        for (const std::int64_t end : ends) elements[end] = 1.0;  // the path holds one of them
        for (const std::int64_t offset : path) elements[offset] = 0.5;
        elements[path.back()] = 0.75;
        EXPECT_EQ(lineMaximum(ca, ra, cb, rb, elements.data(), side), 0.75)
            << "(" << colA << "," << rowA << ") to (" << colB << "," << rowB << ")";
        for (const std::int64_t end : ends) elements[end] = 0.0;
        for (const std::int64_t offset : path) {
            for (const std::int64_t neighbour : {offset - across, offset, offset + across}) {
                if (neighbour >= 0 && neighbour < side * side) elements[neighbour] = 0.0;
            }
        }
    };
    // Major extents of 1499 (odd: the error keeps a half) and 1498 and 1000 (even: it can
    // reach zero exactly), and lines just longer than the distance the memory is asked ahead.
    for (const int far : {last, last - 1, 1000, 64, 65, 66}) {
        for (const int shift : {1, 2, 3, far / 2 - 1, far / 2, far / 2 + 1, far - 1, far}) {
            for (const int start : {0, 1, far / 3, far}) {
                const int end = std::abs(start - shift);
                check(0, start, far, end);
                check(start, 0, end, far);
                check(far, start, 0, end);
                check(start, far, end, 0);
            }
        }
    }
}

// Coordinates that are not whole numbers lie outside the contract, but the walk still goes
// the way the single-precision error term leads it.
TEST(LineMaximumFastWalk, FractionalCoordinatesFollowTheSinglePrecisionWalk) {
    std::mt19937 random(14);
    const std::vector<double> elements = randomMatrix(12, 10, random);
    const float coordinates[][4] = {{0.5f, 0, 9, 3.5f},
                                    {1, 0.25f, 2.75f, 9},
                                    {0, 0, 11, 6.5f},
                                    {3.5f, 3, 3.5f, 8},
                                    {0.5f, 0.5f, 8.5f, 8.5f}};
    for (const auto& c : coordinates) {
        EXPECT_EQ(bitsOf(lineMaximum(c[0], c[1], c[2], c[3], elements.data(), 10)),
                  bitsOf(plainWalk(c[0], c[1], c[2], c[3], elements.data(), 10)))
            << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    }
}

}  // namespace
}  // namespace lineprobe
