// The engine alone, on a Lab image decoded once, run over and over so that
// its buffers are warm. The photo comes from SEGMORA_BENCH_PHOTO (default:
// the bundled sample); the reference path is timed beside the fast one.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "colour_image.h"
#include "large_matrix_allocator.h"
#include "segment_image.h"

namespace {

const cv::Mat_<cv::Vec3b>& benchLab() {
    static const cv::Mat_<cv::Vec3b> lab = [] {
        const char* photo = std::getenv("SEGMORA_BENCH_PHOTO");
        return segmora::toLab(segmora::readColourImage(photo ? photo : SEGMORA_SAMPLE_PHOTO));
    }();
    return lab;
}

void setPixels(benchmark::State& state, const cv::Mat& image) {
    state.counters["pixels"] = static_cast<double>(image.total());
    state.counters["ns/pixel"] = benchmark::Counter(
        static_cast<double>(image.total()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void fastEngine(benchmark::State& state) {
    const cv::Mat_<cv::Vec3b>& lab = benchLab();
    cv::Mat_<int> labels;
    int count = 0;
    for (auto _ : state) {
        segmora::segmentLabImage(lab, 500, count, labels, 500, nullptr);
        benchmark::DoNotOptimize(count);
    }
    state.counters["segments"] = count;
    setPixels(state, lab);
}

void referenceEngine(benchmark::State& state) {
    const cv::Mat_<cv::Vec3b>& lab = benchLab();
    const cv::Mat_<cv::Vec3d> image = segmora::toEngineImage(lab);
    const cv::Mat_<int> regions(lab.rows, lab.cols, 1);
    cv::Mat_<int> labels;
    int count = 0;
    for (auto _ : state) {
        segmora::segmentImageReference(image, 0, 500, count, labels, 500, regions);
        benchmark::DoNotOptimize(count);
    }
    state.counters["segments"] = count;
    setPixels(state, lab);
}

BENCHMARK(fastEngine)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(referenceEngine)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    segmora::useLargeMatrixAllocator();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
