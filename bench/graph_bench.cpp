// Times segmora::describe on one core: for each photo, its centre crop of 481 x 321 is
// segmented, then described with and without colours; the best of REPEATS calls is shown,
// with the most memory describe() held at once (its vectors; the Lab strip of 48 KB aside).
// With --crops DIR the crops are also written there as NAME.ppm (for graph_bench.py).
//   graph_bench [--repeats N] [--crops DIR] PHOTO...
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "segmora/segmora.h"

// Bytes held through operator new, and the most held at once since the last reset.
std::atomic<size_t> heldBytes{0}, peakBytes{0};

void* operator new(size_t size) {
    void* p = std::malloc(size + 16);
    if (p == nullptr) throw std::bad_alloc();
    *static_cast<size_t*>(p) = size;
    const size_t held = heldBytes += size;
    size_t peak = peakBytes;
    while (held > peak && !peakBytes.compare_exchange_weak(peak, held)) {
    }
    return static_cast<char*>(p) + 16;
}

void operator delete(void* p) noexcept {
    if (p == nullptr) return;
    char* start = static_cast<char*>(p) - 16;
    heldBytes -= *reinterpret_cast<size_t*>(start);
    std::free(start);
}

void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

// The most bytes `call` held at once beyond what was held before it.
template <class Call>
size_t peakBytesOf(Call call) {
    const size_t before = heldBytes;
    peakBytes = before;
    call();
    return peakBytes - before;
}

template <class Call>
double bestMilliseconds(int repeats, Call call) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        call();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 200;
    std::string crops;
    int first = 1;
    for (; first + 1 < argc && argv[first][0] == '-'; first += 2) {
        if (std::strcmp(argv[first], "--repeats") == 0)
            repeats = std::max(1, std::atoi(argv[first + 1]));
        if (std::strcmp(argv[first], "--crops") == 0) crops = argv[first + 1];
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: graph_bench [--repeats N] [--crops DIR] PHOTO...\n");
        return 2;
    }
    cv::setNumThreads(1);  // one core, the Lab conversion included
    std::printf("%-24s %8s %6s %10s %12s %14s %10s\n", "photo (481 x 321 crop)", "superpix",
                "edges", "segment ms", "describe ms", "no colours ms", "peak KB");
    for (int i = first; i < argc; ++i) {
        const cv::Mat photo = cv::imread(argv[i], cv::IMREAD_COLOR);
        if (photo.rows < 321 || photo.cols < 481) {
            std::fprintf(stderr, "graph_bench: '%s' is not a photo of at least 481 x 321\n",
                         argv[i]);
            return 1;
        }
        const cv::Mat crop =
            photo(cv::Rect((photo.cols - 481) / 2, (photo.rows - 321) / 2, 481, 321)).clone();
        segmora::Segmentation s;
        const double segment =
            bestMilliseconds(3, [&] { s = segmora::segmentPhoto(crop, segmora::Parameters{}); });
        size_t edges = 0;
        const double full =
            bestMilliseconds(repeats, [&] { edges = segmora::describe(s, crop).edgeA.size(); });
        const double bare = bestMilliseconds(repeats, [&] { segmora::describe(s); });
        const size_t peak = peakBytesOf([&] { segmora::describe(s, crop); });
        std::string name = std::strrchr(argv[i], '/') ? std::strrchr(argv[i], '/') + 1 : argv[i];
        name = name.substr(0, name.rfind('.'));
        if (!crops.empty()) cv::imwrite(crops + "/" + name + ".ppm", crop);
        std::printf("%-24s %8d %6zu %10.2f %12.3f %14.3f %10.1f\n", name.c_str(), s.count, edges,
                    segment, full, bare, peak / 1024.0);
    }
    return 0;
}
