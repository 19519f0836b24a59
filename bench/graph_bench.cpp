// Times segmora::describe on one core: for each photo, its centre crop of 481 x 321 is
// segmented, then described with and without colours; the best of REPEATS calls is shown.
//   graph_bench [--repeats N] PHOTO...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "segmora/segmora.h"

namespace {

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
    if (argc > 2 && std::strcmp(argv[1], "--repeats") == 0) {
        repeats = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: graph_bench [--repeats N] PHOTO...\n");
        return 2;
    }
    cv::setNumThreads(1);  // one core, the Lab conversion included
    std::printf("%-28s %9s %6s %9s %14s %16s\n", "photo (481 x 321 crop)", "superpix", "edges",
                "segment", "describe ms", "no colours ms");
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
        const std::string name =
            std::strrchr(argv[i], '/') ? std::strrchr(argv[i], '/') + 1 : argv[i];
        std::printf("%-28s %9d %6zu %9.2f %14.3f %16.3f\n", name.c_str(), s.count, edges, segment,
                    full, bare);
    }
    return 0;
}
