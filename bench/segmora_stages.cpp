// Times every stage of one Segmora run on a photo, as the program runs them,
// and repeats the whole sequence to report the fastest time of each stage.
//   segmora_stages PHOTO [REPEATS [LABEL_FILE]]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "colour_image.h"
#include "label_file.h"
#include "large_matrix_allocator.h"
#include "segmentation_pipeline.h"

namespace {

using Clock = std::chrono::steady_clock;

struct StageTimes {
    std::vector<std::string> order;
    std::map<std::string, double> best;

    void time(const std::string& stage, const std::function<void()>& work) {
        const auto start = Clock::now();
        work();
        record(stage, std::chrono::duration<double>(Clock::now() - start).count());
    }
    void record(const std::string& stage, double seconds) {
        if (!best.count(stage)) order.push_back(stage);
        if (!best.count(stage) || seconds < best[stage]) best[stage] = seconds;
    }
};

void runOnce(const std::string& photo, const std::string& labelPath, StageTimes& times) {
    using namespace segmora;
    cv::Mat_<cv::Vec3b> colour, lab;
    ChannelSet channels;
    EdgeGraph graph;
    cv::Mat_<int> labels;
    const auto whole = Clock::now();
    times.time("decode", [&] { colour = readColourImage(photo); });
    times.time("lab", [&] { lab = toLab(colour); colour.release(); });
    times.time("channel images", [&] { channels = channelsFromLab(lab); lab.release(); });
    times.time("smoothing", [&] { smoothChannels(channels, 0.0f, true); });
    times.time("edges", [&] { graph = buildGraph(channels); });
    times.time("sort", [&] { sortGraph(graph); });
    SegmentForest forest(nullptr, 0, 0.0f);
    times.time("merge", [&] { forest = mergeGraph(graph, 500.0f, 500, nullptr); });
    times.time("clean-up", [&] { absorbSmall(graph, forest); });
    times.time("labels", [&] { labelSegments(graph, forest, labels); graph = EdgeGraph(); });
    times.time("label file", [&] { writeLabelMap(labelPath, labels); });
    times.record("all stages", std::chrono::duration<double>(Clock::now() - whole).count());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: segmora_stages PHOTO [REPEATS [LABEL_FILE]]\n");
        return 2;
    }
    segmora::useLargeMatrixAllocator();
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    StageTimes times;
    const std::string labelPath = argc > 3 ? argv[3] : "/dev/null";
    for (int i = 0; i < repeats; ++i) runOnce(argv[1], labelPath, times);
    for (const std::string& stage : times.order) {
        std::printf("%-15s %8.1f ms\n", stage.c_str(), times.best[stage] * 1e3);
    }
    return 0;
}
