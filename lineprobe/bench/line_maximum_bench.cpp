// Visited pixels per second of lineMaximum on long lines through a large matrix.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "line_maximum.h"

namespace {

constexpr int side = 4096;  // 4096 x 4096 doubles: 128 MiB, far beyond the caches

struct Line {
    float colA, rowA, colB, rowB;
    double pixels;  // pixels the walk visits: its major extent
};

const std::vector<double>& matrix() {
    static const std::vector<double> elements = [] {
        std::vector<double> v(static_cast<std::size_t>(side) * side);
        std::mt19937_64 random(1);
        std::normal_distribution<double> normal;
        for (double& x : v) {
            x = normal(random);
        }
        return v;
    }();
    return elements;
}

enum class Direction { Random, Horizontal, Vertical };

// Lines from one border to the opposite one, so each visits about `side` pixels.
std::vector<Line> makeLines(Direction direction) {
    std::mt19937 random(2);
    std::uniform_int_distribution<int> coordinate(0, side - 1);
    std::vector<Line> lines(1024);
    for (Line& line : lines) {
        const auto across = static_cast<float>(coordinate(random));
        const auto other = static_cast<float>(coordinate(random));
        const bool horizontal = direction == Direction::Horizontal ||
                                (direction == Direction::Random && coordinate(random) % 2 == 0);
        const float end = side - 1;
        const float shift = direction == Direction::Random ? other : across;
        line = horizontal ? Line{0, across, end, shift, 0} : Line{across, 0, shift, end, 0};
        line.pixels = std::fmax(std::fabs(line.colB - line.colA), std::fabs(line.rowB - line.rowA));
    }
    return lines;
}

void walkLines(benchmark::State& state, Direction direction) {
    const std::vector<double>& elements = matrix();
    const std::vector<Line> lines = makeLines(direction);
    double pixels = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        const Line& line = lines[next];
        benchmark::DoNotOptimize(lineprobe::lineMaximum(line.colA, line.rowA, line.colB, line.rowB,
                                                        elements.data(), side));
        pixels += line.pixels;
        next = (next + 1) % lines.size();
    }
    state.counters["pixels/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(walkLines, random, Direction::Random);
BENCHMARK_CAPTURE(walkLines, horizontal, Direction::Horizontal);
BENCHMARK_CAPTURE(walkLines, vertical, Direction::Vertical);

}  // namespace

BENCHMARK_MAIN();
