// The hierarchy against the default run, the engine alone on a photo decoded once:
//   hierarchy_bench PHOTO [RUNS]       medians of RUNS (7) one-shot calls of each kind
//   hierarchy_bench --peak KIND PHOTO  one call of KIND (default, hierarchy, count), then
//                                      the process's peak resident memory in MB
// The kinds: the default run (segmentPhoto), building the hierarchy, cutting it at the
// default count and at a tenth of it, and segmentPhoto with a count (a tenth of the
// default), which builds and cuts.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "colour_image.h"
#include "segmora/segmora.h"

namespace {

double medianMilliseconds(int runs, const std::function<void()>& call) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        call();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int peak(const std::string& kind, const cv::Mat& photo) {
    const double before = peakMegabytes();
    if (kind == "default") {
        segmora::segmentPhoto(photo);
    } else if (kind == "hierarchy") {
        segmora::hierarchyOfPhoto(photo);
    } else if (kind == "count") {
        segmora::Parameters parameters;
        parameters.count = 100;
        segmora::segmentPhoto(photo, parameters);
    } else {
        std::fprintf(stderr, "hierarchy_bench: unknown kind '%s'\n", kind.c_str());
        return 2;
    }
    std::printf("%s %.1f (photo decoded: %.1f)\n", kind.c_str(), peakMegabytes(), before);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--peak") == 0) {
        return peak(argv[2], segmora::readColourImage(argv[3]));
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: hierarchy_bench PHOTO [RUNS] | --peak KIND PHOTO\n");
        return 2;
    }
    const cv::Mat photo = segmora::readColourImage(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const segmora::Hierarchy tree = segmora::hierarchyOfPhoto(photo);
    const int tenth = std::max(tree.coarsestCount(), tree.defaultCount() / 10);
    segmora::Parameters parameters;
    parameters.count = tenth;
    const double run = medianMilliseconds(runs, [&] { segmora::segmentPhoto(photo); });
    const double build = medianMilliseconds(runs, [&] { segmora::hierarchyOfPhoto(photo); });
    const double cut = medianMilliseconds(runs, [&] { tree.cut(tree.defaultCount()); });
    const double cutTenth = medianMilliseconds(runs, [&] { tree.cut(tenth); });
    const double counted = medianMilliseconds(runs, [&] { segmora::segmentPhoto(photo, parameters); });
    std::printf("%dx%d counts: finest %d, default %d, coarsest %d\n", photo.cols, photo.rows,
                tree.finestCount(), tree.defaultCount(), tree.coarsestCount());
    std::printf("engine alone, median of %d, ms (x default run):\n", runs);
    std::printf("  default run          %8.1f\n", run);
    std::printf("  hierarchy build      %8.1f  %.2fx\n", build, build / run);
    std::printf("  cut at %-6d        %8.1f  %.2fx\n", tree.defaultCount(), cut, cut / run);
    std::printf("  cut at %-6d        %8.1f  %.2fx\n", tenth, cutTenth, cutTenth / run);
    std::printf("  count %-6d         %8.1f  %.2fx\n", tenth, counted, counted / run);
    return 0;
}
