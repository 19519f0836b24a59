// Times every stage of one Segmora run on a photo, as the program runs them,
// and repeats the whole sequence to report the fastest time of each stage.
//   segmora_stages [--reference] PHOTO [REPEATS [LABEL_FILE]]
// With --reference, the straightforward reference path is timed instead.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cleanup_and_labels.h"
#include "colour_image.h"
#include "edge_graph.h"
#include "input_channels.h"
#include "label_file.h"
#include "large_matrix_allocator.h"
#include "output_file.h"
#include "parallel.h"
#include "photo_channels.h"
#include "pixel_graph.h"
#include "segment_graph.h"
#include "segment_merging.h"
#include "segment_numbering.h"
#include "segmora/segmora.h"
#include "small_segments.h"
#include "smoothing.h"

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

void runOnce(const std::string& photo, const std::string& labelPath, segmora::BlockPool& pool,
             StageTimes& times) {
    using namespace segmora;
    const Workspace workspace{pool, threadCountFor(0)};
    cv::Mat_<cv::Vec3b> colour;
    ChannelPlanes planes;
    WeightCounts counts;
    SortedGraph graph;
    SegmentForest forest;
    cv::Mat_<int> labels;
    const auto whole = Clock::now();
    times.time("decode", [&] { colour = readColourImage(photo); });
    const int32_t width = colour.cols, height = colour.rows, pixels = width * height;
    // Smoothing with sigma 0 would change nothing: the program skips it.
    times.time("lab planes", [&] { planes = planesFromPhoto(colour, pool); });
    times.time("count weights", [&] {
        if (!countEdgeWeights(planes.channels, width, height, counts, workspace.threads)) {
            std::fprintf(stderr, "too many distinct weights to count\n");
            std::exit(1);
        }
    });
    times.time("place edges", [&] {
        graph = placeCountedEdges(planes.channels, width, height, counts, workspace);
        planes.buffer.release();
        colour.release();
    });
    const NeighbourOffsets neighbours(width);
    times.time("merge", [&] {
        forest = SegmentForest(pool, pixels, 500.0f);
        mergeSegments(forest, graph.view(), neighbours,
                      MergeRules{500.0f, sizeCapFor(pixels, 500), nullptr});
    });
    times.time("clean-up", [&] {
        LargeBuffer smallPixels(pool, (static_cast<size_t>(pixels) + 63) / 64 * 8);
        absorbSmallSegments(forest, pixels, graph.view(), neighbours, kMinSegmentSize,
                            smallPixels.as<uint64_t>(), workspace.threads);
        graph = SortedGraph();
    });
    times.time("labels", [&] {
        labels.create(height, width);
        numberSegments(forest, labels.ptr<int32_t>(), pixels);
        forest = SegmentForest();
    });
    times.time("label file", [&] {
        OutputFile file(labelPath, "label file");
        writeLabelMap(file, labels);
    });
    times.record("all stages", std::chrono::duration<double>(Clock::now() - whole).count());
}

// The straightforward path kept as the reference: a double image, plain
// channel images smoothed with the identity mask, a 12-byte edge array
// sorted stably, the plain forest, an ordered map for the labels and
// OpenCV's own CSV rendering. segmentGraph sorts again; its input is sorted.
void runReferenceOnce(const std::string& photo, const std::string& labelPath,
                      segmora::BlockPool& pool, StageTimes& times) {
    using namespace segmora;
    cv::Mat_<cv::Vec3b> colour, lab;
    cv::Mat_<cv::Vec3d> image;
    std::unique_ptr<ChannelImage> s[3];
    std::vector<GraphEdge> edges;
    std::unique_ptr<DisjointSetForest> forest;
    cv::Mat_<int> labels;
    int32_t edgeCount = 0;
    const auto whole = Clock::now();
    times.time("decode", [&] { colour = readColourImage(photo); });
    times.time("lab", [&] {
        lab = toLab(colour);
        colour.release();
    });
    times.time("engine image", [&] {
        image = toEngineImage(lab);
        lab.release();
    });
    times.time("channel images", [&] {
        for (int c = 0; c < 3; ++c) {
            s[c] = std::make_unique<ChannelImage>(pool, image.cols, image.rows, true);
            for (int y = 0; y < image.rows; ++y) {
                for (int x = 0; x < image.cols; ++x) s[c]->rowTable[y][x] = float(image(y, x)[c]);
            }
        }
    });
    times.time("smoothing", [&] {
        for (auto& channel : s) channel = smoothChannel(*channel, 0.0f, pool);
    });
    times.time("edges", [&] {
        edges.resize(size_t{4} * image.total());
        edgeCount = buildEdges(*s[0], *s[1], *s[2], edges.data());
        for (auto& channel : s) channel.reset();
    });
    times.time("sort", [&] { sortEdges(edges.data(), edgeCount); });
    const cv::Mat_<int> regions(image.rows, image.cols, 1);
    const int32_t pixels = static_cast<int32_t>(image.total());
    times.time("merge", [&] {
        forest =
            segmentGraph(pixels, edgeCount, edges.data(), 500.0f, sizeCapFor(pixels, 500), regions);
    });
    times.time("clean-up", [&] { mergeSmallSegments(*forest, edgeCount, edges.data(), kMinSegmentSize); });
    times.time("labels", [&] {
        labels.create(image.rows, image.cols);
        assignLabels(*forest, image.rows, image.cols, labels);
        forest.reset();
        edges = std::vector<GraphEdge>();
    });
    times.time("label file", [&] {
        std::ofstream out(labelPath);
        out << cv::format(labels, cv::Formatter::FMT_CSV) << std::endl;
    });
    times.record("all stages", std::chrono::duration<double>(Clock::now() - whole).count());
}

}  // namespace

int main(int argc, char** argv) {
    const bool reference = argc > 1 && std::string(argv[1]) == "--reference";
    if (reference) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: segmora_stages [--reference] PHOTO [REPEATS [LABEL_FILE]]\n");
        return 2;
    }
    segmora::useLargeMatrixAllocator();
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    StageTimes times;
    const std::string labelPath = argc > 3 ? argv[3] : "/dev/null";
    segmora::BlockPool pool;  // the engine's, as a Segmenter holds it
    for (int i = 0; i < repeats; ++i) {
        (reference ? runReferenceOnce : runOnce)(argv[1], labelPath, pool, times);
    }
    for (const std::string& stage : times.order) {
        std::printf("%-15s %8.1f ms\n", stage.c_str(), times.best[stage] * 1e3);
    }
    return 0;
}
