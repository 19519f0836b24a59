#include "line_maximum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
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

}  // namespace
}  // namespace lineprobe
