// Times segmora::describe on one core: each photo is segmented whole, then described with
// and without colours; the best of REPEATS calls is shown (fewer on large photos: at most
// about 2 s of calls each), with the most memory describe() held at once and the time per
// pixel. Times are wall times: on a shared machine they follow the load.
//   graph_bench [--repeats N] PHOTO...
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
    int first = 1;
    if (first + 1 < argc && std::strcmp(argv[first], "--repeats") == 0) {
        repeats = std::max(1, std::atoi(argv[first + 1]));
        first += 2;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: graph_bench [--repeats N] PHOTO...\n");
        return 2;
    }
    cv::setNumThreads(1);  // one core, the Lab conversion included
    std::printf("%-16s %10s %8s %7s %11s %12s %14s %10s %8s\n", "photo", "size", "superpix",
                "edges", "segment ms", "describe ms", "no colours ms", "peak KB", "ns/px");
    for (int i = first; i < argc; ++i) {
        const cv::Mat photo = cv::imread(argv[i], cv::IMREAD_COLOR);
        if (photo.empty()) {
            std::fprintf(stderr, "graph_bench: '%s' is not a photo\n", argv[i]);
            return 1;
        }
        segmora::Segmentation s;
        const double segment =
            bestMilliseconds(1, [&] { s = segmora::segmentPhoto(photo, segmora::Parameters{}); });
        size_t edges = 0;
        const double once = bestMilliseconds(1, [&] { segmora::describe(s, photo); });
        const int calls = std::max(1, std::min(repeats, static_cast<int>(2000 / (once + 1e-3))));
        const double full =
            bestMilliseconds(calls, [&] { edges = segmora::describe(s, photo).edgeA.size(); });
        const double bare = bestMilliseconds(calls, [&] { segmora::describe(s); });
        const size_t peak = peakBytesOf([&] { segmora::describe(s, photo); });
        std::string name = std::strrchr(argv[i], '/') ? std::strrchr(argv[i], '/') + 1 : argv[i];
        name = name.substr(0, name.rfind('.'));
        const std::string size = std::to_string(photo.cols) + "x" + std::to_string(photo.rows);
        std::printf("%-16s %10s %8d %7zu %11.1f %12.3f %14.3f %10.1f %8.2f\n", name.c_str(),
                    size.c_str(), s.count, edges, segment, full, bare, peak / 1024.0,
                    full * 1e6 / static_cast<double>(photo.total()));
    }
    return 0;
}
