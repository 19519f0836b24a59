// The engine alone, on a photo decoded once, run over and over: through one
// Segmenter (its buffers warm from the previous run) and through the one-shot
// call (fresh buffers each time). The photo comes from SEGMORA_BENCH_PHOTO
// (default: the bundled sample); the reference path is timed beside them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "colour_image.h"
#include "large_matrix_allocator.h"
#include "photo_channels.h"
#include "segment_image_reference.h"
#include "segmora/segmora.h"

namespace {

const cv::Mat_<cv::Vec3b>& benchPhoto() {
    static const cv::Mat_<cv::Vec3b> photo = [] {
        const char* path = std::getenv("SEGMORA_BENCH_PHOTO");
        return segmora::readColourImage(path ? path : SEGMORA_SAMPLE_PHOTO);
    }();
    return photo;
}

void setPixels(benchmark::State& state, const cv::Mat& image) {
    state.counters["pixels"] = static_cast<double>(image.total());
    state.counters["ns/pixel"] = benchmark::Counter(
        static_cast<double>(image.total()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void warmSegmenter(benchmark::State& state) {
    const cv::Mat_<cv::Vec3b>& photo = benchPhoto();
    segmora::Segmenter segmenter;
    int count = 0;
    for (auto _ : state) {
        count = segmenter.segmentPhoto(photo).count;
        benchmark::DoNotOptimize(count);
    }
    state.counters["segments"] = count;
    setPixels(state, photo);
}

void oneShotCalls(benchmark::State& state) {
    const cv::Mat_<cv::Vec3b>& photo = benchPhoto();
    int count = 0;
    for (auto _ : state) {
        count = segmora::segmentPhoto(photo).count;
        benchmark::DoNotOptimize(count);
    }
    state.counters["segments"] = count;
    setPixels(state, photo);
}

void referenceEngine(benchmark::State& state) {
    const cv::Mat_<cv::Vec3b>& photo = benchPhoto();
    const cv::Mat_<cv::Vec3b> lab = segmora::toLab(photo);
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

BENCHMARK(warmSegmenter)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(oneShotCalls)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(referenceEngine)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    segmora::useLargeMatrixAllocator();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
