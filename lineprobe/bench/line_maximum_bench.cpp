// Visited pixels per second of the line walk on long lines through a large matrix: one line per
// call of lineMaximum, and batches of 1000 lines walked in turn on one thread or by lineMaxima.
// The rates are per second of wall time; on a busy machine take the best of a few repetitions.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "line_batch.h"
#include "line_maximum.h"

namespace {

constexpr int side = 4000;  // 4000 x 4000 doubles: 128 MB, far beyond the caches
constexpr std::size_t batchSize = 1000;

using lineprobe::LineEnds;

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

// Lines from one border to the opposite one, so each visits about `side` pixels. Random lines
// are mostly horizontal or mostly vertical in equal shares, their far end anywhere on the
// opposite border.
std::vector<LineEnds> makeLines(Direction direction) {
    std::mt19937 random(2);
    std::uniform_int_distribution<int> coordinate(0, side - 1);
    std::vector<LineEnds> lines(10 * batchSize);
    for (LineEnds& line : lines) {
        const auto across = static_cast<float>(coordinate(random));
        const auto other = static_cast<float>(coordinate(random));
        const bool horizontal = direction == Direction::Horizontal ||
                                (direction == Direction::Random && coordinate(random) % 2 == 0);
        const float end = side - 1;
        const float shift = direction == Direction::Random ? other : across;
        line = horizontal ? LineEnds{0, across, end, shift} : LineEnds{across, 0, shift, end};
    }
    return lines;
}

double pixelsOf(const LineEnds& line) {
    return std::fmax(std::fabs(line.colB - line.colA), std::fabs(line.rowB - line.rowA));
}

void walkLines(benchmark::State& state, Direction direction) {
    const std::vector<double>& elements = matrix();
    const std::vector<LineEnds> lines = makeLines(direction);
    double pixels = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        const LineEnds& line = lines[next];
        benchmark::DoNotOptimize(lineprobe::lineMaximum(line.colA, line.rowA, line.colB, line.rowB,
                                                        elements.data(), side));
        pixels += pixelsOf(line);
        next = (next + 1) % lines.size();
    }
    state.counters["pixels/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsRate);
}

// 1000 random lines per iteration: in turn on this thread (as a caller looping over
// lineMaximum would), or through lineMaxima.
void walkBatches(benchmark::State& state, bool together) {
    const std::vector<double>& elements = matrix();
    const std::vector<LineEnds> lines = makeLines(Direction::Random);
    std::vector<double> maxima(batchSize);
    double pixels = 0;
    std::size_t first = 0;
    for (auto _ : state) {
        const LineEnds* batch = lines.data() + first;
        if (together) {
            lineprobe::lineMaxima(batch, batchSize, elements.data(), side, maxima.data());
        } else {
            for (std::size_t k = 0; k < batchSize; ++k) {
                maxima[k] = lineprobe::lineMaximum(batch[k].colA, batch[k].rowA, batch[k].colB,
                                                   batch[k].rowB, elements.data(), side);
            }
        }
        benchmark::DoNotOptimize(maxima.data());
        for (std::size_t k = 0; k < batchSize; ++k) {
            pixels += pixelsOf(batch[k]);
        }
        first = (first + batchSize) % lines.size();
    }
    state.counters["pixels/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(walkLines, random, Direction::Random)->UseRealTime();
BENCHMARK_CAPTURE(walkLines, horizontal, Direction::Horizontal)->UseRealTime();
BENCHMARK_CAPTURE(walkLines, vertical, Direction::Vertical)->UseRealTime();
BENCHMARK_CAPTURE(walkBatches, random_1000_in_turn, false)->UseRealTime();
BENCHMARK_CAPTURE(walkBatches, random_1000_lineMaxima, true)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
