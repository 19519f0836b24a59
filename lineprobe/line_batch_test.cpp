#include "line_batch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "line_maximum.h"

namespace lineprobe {
namespace {

constexpr int side = 1024;

std::vector<double> randomMatrix() {
    std::mt19937 random(21);
    std::normal_distribution<double> normal;
    std::vector<double> elements(side * side);
    for (double& x : elements) {
        x = random() % 50 == 0 ? std::nan("") : normal(random);
    }
    return elements;
}

// Each result bit for bit what lineMaximum gives for that line alone.
void expectSameAsOneByOne(const std::vector<LineEnds>& lines, const std::vector<double>& elements) {
    std::vector<double> maxima(lines.size() + 1, 123.0);
    lineMaxima(lines.data(), lines.size(), elements.data(), side, maxima.data());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const LineEnds& l = lines[k];
        const double alone = lineMaximum(l.colA, l.rowA, l.colB, l.rowB, elements.data(), side);
        EXPECT_EQ(std::memcmp(&maxima[k], &alone, sizeof alone), 0)
            << "line " << k << " of " << lines.size() << ": " << maxima[k] << " " << alone;
    }
    EXPECT_EQ(maxima.back(), 123.0) << "wrote past the last result";
}

std::vector<LineEnds> randomLines(std::size_t count, std::mt19937& random) {
    std::vector<LineEnds> lines(count);
    for (LineEnds& l : lines) {
        l = {float(random() % side), float(random() % side), float(random() % side),
             float(random() % side)};
    }
    return lines;
}

TEST(LineMaxima, SameAsOneLineAtATimeOnOneThreadOrTwo) {
    const std::vector<double> elements = randomMatrix();
    std::mt19937 random(22);
    for (const std::size_t count : {0, 1, 7, 300, 3000}) {  // 3000 lines: well over the limit
        SCOPED_TRACE(count);
        expectSameAsOneByOne(randomLines(count, random), elements);
    }
}

// The split falls where half the pixels are walked: after the first line when it holds them
// nearly all, at the very end when the last one does, and so on.
TEST(LineMaxima, UnevenLinesOnBothSidesOfTheSplit) {
    const std::vector<double> elements = randomMatrix();
    const float last = side - 1;
    std::vector<LineEnds> longLines(600, LineEnds{0, 0, last, last});  // 614,000 pixels
    for (std::size_t k = 0; k < longLines.size(); ++k) {
        longLines[k].rowB = float(k % side);
    }
    const LineEnds dot{5, 5, 5, 5}, shortLine{3, 4, 5, 9};
    std::vector<LineEnds> lines = longLines;
    lines.insert(lines.begin(), 50, shortLine);
    expectSameAsOneByOne(lines, elements);
    lines = longLines;
    lines.insert(lines.end(), 50, dot);
    expectSameAsOneByOne(lines, elements);
    lines.assign(2000, dot);
    lines.insert(lines.begin() + 1000, longLines.begin(), longLines.end());
    expectSameAsOneByOne(lines, elements);
}

}  // namespace
}  // namespace lineprobe
