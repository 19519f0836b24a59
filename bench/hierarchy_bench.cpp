// The hierarchy against the default run, the engine alone on a photo decoded once:
//   hierarchy_bench PHOTO [RUNS]       medians of RUNS (7) one-shot calls of each kind
//   hierarchy_bench --peak KIND PHOTO  one call of KIND (default, hierarchy, count), then
//                                      the process's peak resident memory in MB
// The kinds: the default run (segmentPhoto), building the hierarchy, cutting it at the
// default count and at a tenth of it, and segmentPhoto with a count (a tenth of the
// default, and twice it), which cuts without building the whole tree. Each figure is
// given as wall time and as processor time (all threads), both medians: on a shared
// machine the second varies less.
#include <sys/resource.h>
#include <time.h>

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

double processorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Timing {
    double wall;
    double processor;
};

Timing medianMilliseconds(int runs, const std::function<void()>& call) {
    std::vector<double> walls, processors;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const double startProcessor = processorMilliseconds();
        call();
        processors.push_back(processorMilliseconds() - startProcessor);
        walls.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(walls.begin(), walls.begin() + runs / 2, walls.end());
    std::nth_element(processors.begin(), processors.begin() + runs / 2, processors.end());
    return {walls[runs / 2], processors[runs / 2]};
}

void printRow(const std::string& what, const Timing& time, const Timing& run) {
    std::printf("  %-22s %9.1f %6.2fx %9.1f %6.2fx\n", what.c_str(), time.wall,
                time.wall / run.wall, time.processor, time.processor / run.processor);
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
    const int twice = std::min(tree.finestCount(), tree.defaultCount() * 2);
    segmora::Parameters coarser, finer;
    coarser.count = tenth;
    finer.count = twice;
    const Timing run = medianMilliseconds(runs, [&] { segmora::segmentPhoto(photo); });
    const Timing build = medianMilliseconds(runs, [&] { segmora::hierarchyOfPhoto(photo); });
    const Timing cut = medianMilliseconds(runs, [&] { tree.cut(tree.defaultCount()); });
    const Timing cutTenth = medianMilliseconds(runs, [&] { tree.cut(tenth); });
    const Timing counted = medianMilliseconds(runs, [&] { segmora::segmentPhoto(photo, coarser); });
    const Timing countedFiner =
        medianMilliseconds(runs, [&] { segmora::segmentPhoto(photo, finer); });
    std::printf("%dx%d counts: finest %d, default %d, coarsest %d\n", photo.cols, photo.rows,
                tree.finestCount(), tree.defaultCount(), tree.coarsestCount());
    std::printf("engine alone, median of %d, ms:  wall (x default run), processor (x default run)\n",
                runs);
    printRow("default run", run, run);
    printRow("hierarchy build", build, run);
    printRow("cut at " + std::to_string(tree.defaultCount()), cut, run);
    printRow("cut at " + std::to_string(tenth), cutTenth, run);
    printRow("count " + std::to_string(tenth), counted, run);
    printRow("count " + std::to_string(twice), countedFiner, run);
    return 0;
}
