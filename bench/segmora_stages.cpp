// Times every stage of one Segmora run on a photo, as the program runs them,
// and repeats the whole sequence to report the fastest time of each stage.
//   segmora_stages [--reference] [--threads N] [--tiles WxH|auto] [--cpu] PHOTO [REPEATS [LABEL_FILE]]
// With --reference, the straightforward reference path is timed instead.
// --threads: threads inside the engine (default: one per core, at most 8).
// --tiles: the merge in tiles of W x H pixels (0x0: one piece; "auto": the engine's
// choice of tiles for the photo; default: what the engine does by itself).
// --cpu: CPU time of the process instead of wall-clock time.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cleanup_and_labels.h"
#include "colour_image.h"
#include "counted_edges.h"
#include "grid_edges.h"
#include "float_channels.h"
#include "label_file.h"
#include "large_matrix_allocator.h"
#include "output_file.h"
#include "parallel.h"
#include "photo_channels.h"
#include "photo_lab_planes.h"
#include "pixel_graph.h"
#include "segment_graph.h"
#include "segment_merging.h"
#include "segment_numbering.h"
#include "segmora/segmora.h"
#include "small_segments.h"
#include "smoothing.h"
#include "sorted_graph.h"
#include "tiled_merge.h"
#include "weight_ids.h"

namespace {

// Wall-clock time, or with --cpu the CPU time of the whole process (every
// thread's): on a machine shared with other work the latter is far steadier.
struct Clock {
    static inline bool cpu = false;
    static double now() {
        if (!cpu) {
            return std::chrono::duration<double>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        }
        timespec t;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    }
};

// --tiles WxH or auto: the merge's tiles (0x0: one piece); by default what the engine does.
struct TileChoice {
    static inline bool given = false;
    static inline bool automatic = false;
    static inline segmora::TileShape shape;
    static inline segmora::TiledMergeReport report;
};

struct StageTimes {
    std::vector<std::string> order;
    std::map<std::string, double> best;
    size_t distinctWeights = 0;

    void time(const std::string& stage, const std::function<void()>& work) {
        const double start = Clock::now();
        work();
        record(stage, Clock::now() - start);
    }
    void record(const std::string& stage, double seconds) {
        if (!best.count(stage)) order.push_back(stage);
        if (!best.count(stage) || seconds < best[stage]) best[stage] = seconds;
    }
};

// The stages of segmentBgrPhoto with the program's parameters, one by one.
void runOnce(const std::string& photo, const std::string& labelPath, segmora::BlockPool& pool,
             int threads, StageTimes& times) {
    using namespace segmora;
    const Parameters parameters = photoParameters(false);
    static const LabTables lab;                  // a Segmenter makes them once
    static std::vector<WeightIds> weightTables;  // and keeps these
    const Workspace workspace{pool, threadCountFor(threads), true, &lab, &weightTables};
    cv::Mat_<cv::Vec3b> colour;
    ChannelPlanes planes;
    LargeBuffer ids;
    CountedEdges counted;
    SortedGraph graph;
    SegmentForest forest;
    cv::Mat_<int> labels;
    const double whole = Clock::now();
    times.time("decode", [&] { colour = readColourImage(photo); });
    const int32_t width = colour.cols, height = colour.rows, pixels = width * height;
    // Smoothing with sigma 0 would change nothing: the program skips it.
    times.time("lab planes", [&] { planes = planesFromPhoto(colour, workspace); });
    // Counting and placing as sortedGraphOf does them for a photo.
    times.time("count weights", [&] {
        ids = LargeBuffer(pool, std::max(edgeCountFor(width, height) * kWeightIdBytes,
                                         SegmentForest::bytesFor(pixels)));
        if (!countEdges(planes.channels, width, height, workspace.threads, ids.as<uint16_t>(),
                        counted, weightTables)) {
            std::fprintf(stderr, "too many distinct weights to count\n");
            std::exit(1);
        }
        planes.buffer.release();
        // the photo stays: the clean-up reads a few weights from it
    });
    times.distinctWeights = counted.runs.size();
    times.time("place edges", [&] {
        graph.width = width;
        graph.height = height;
        graph.edgeCount = edgeCountFor(width, height);
        graph.edges = LargeBuffer(pool, sortedEdgeBytes(width, height));
        placeCountedEdges(ids.as<uint16_t>(), counted, graph.edges.as<uint32_t>());
        ids.release();
        graph.runCount = static_cast<int64_t>(counted.runs.size());
        graph.runs = LargeBuffer(pool, counted.runs.size() * sizeof(WeightRun));
        std::copy(counted.runs.begin(), counted.runs.end(), graph.runs.as<WeightRun>());
    });
    times.time("merge", [&] {
        forest = SegmentForest(pool, pixels, parameters.threshold);
        const bool automatic = TileChoice::given ? TileChoice::automatic : kTilesByDefault;
        const TileShape tiles = automatic ? automaticTileShape(width, height, workspace.threads)
                                          : TileChoice::shape;
        if (tiles.empty()) {
            mergeSegments(forest, graph, parameters, nullptr);
        } else {
            TileChoice::report = mergeSegmentsTiled(forest, graph, parameters, nullptr, tiles,
                                                    workspace.threads);
        }
    });
    times.time("clean-up", [&] {
        const PhotoEdgeWeights photoWeights(colour, lab);
        absorbSmallSegments(forest, graph, parameters, workspace, &photoWeights);
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
    times.record("all stages", Clock::now() - whole);
}

// The straightforward path kept as the reference: a double image, plain
// channel images smoothed with the identity mask, a 12-byte edge array
// sorted stably, the plain forest, an ordered map for the labels and
// OpenCV's own CSV rendering. segmentGraph sorts again; its input is sorted.
void runReferenceOnce(const std::string& photo, const std::string& labelPath,
                      segmora::BlockPool& pool, int, StageTimes& times) {
    using namespace segmora;
    const Parameters parameters = photoParameters(false);
    cv::Mat_<cv::Vec3b> colour, lab;
    cv::Mat_<cv::Vec3d> image;
    std::unique_ptr<ChannelImage> s[3];
    std::vector<GraphEdge> edges;
    std::unique_ptr<DisjointSetForest> forest;
    cv::Mat_<int> labels;
    int32_t edgeCount = 0;
    const double whole = Clock::now();
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
        for (auto& channel : s) channel = smoothChannel(*channel, parameters.sigma, pool);
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
        forest = segmentGraph(pixels, edgeCount, edges.data(), parameters.threshold,
                              sizeCapFor(pixels, parameters.capDivisor), regions);
    });
    times.time("clean-up",
               [&] { mergeSmallSegments(*forest, edgeCount, edges.data(), parameters.minSize); });
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
    times.record("all stages", Clock::now() - whole);
}

}  // namespace

int main(int argc, char** argv) {
    // As segmora-batch does: buffers freed by one photo stay in the heap for the next.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
    const bool reference = argc > 1 && std::string(argv[1]) == "--reference";
    if (reference) {
        --argc;
        ++argv;
    }
    int threads = 0;
    while (argc > 1 && argv[1][0] == '-' && argv[1][1] == '-') {
        const std::string option = argv[1];
        if (option == "--cpu") {
            Clock::cpu = true;
        } else if (option == "--threads" && argc > 2) {
            threads = std::atoi(argv[2]);
            --argc;
            ++argv;
        } else if (option == "--tiles" && argc > 2) {
            TileChoice::automatic = std::string(argv[2]) == "auto";
            TileChoice::given = TileChoice::automatic ||
                                std::sscanf(argv[2], "%dx%d", &TileChoice::shape.width,
                                            &TileChoice::shape.height) == 2;
            threads = TileChoice::given ? threads : -1;
            --argc;
            ++argv;
        } else {
            threads = -1;
        }
        --argc;
        ++argv;
    }
    if (argc < 2 || threads < 0) {
        std::fprintf(stderr,
                     "usage: segmora_stages [--reference] [--threads N] [--tiles WxH|auto] [--cpu] PHOTO "
                     "[REPEATS "
                     "[LABEL_FILE]]\n");
        return 2;
    }
    segmora::useLargeMatrixAllocator();
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    StageTimes times;
    const std::string labelPath = argc > 3 ? argv[3] : "/dev/null";
    segmora::BlockPool pool;  // the engine's, as a Segmenter holds it
    for (int i = 0; i < repeats; ++i) {
        (reference ? runReferenceOnce : runOnce)(argv[1], labelPath, pool, threads, times);
    }
    for (const std::string& stage : times.order) {
        std::printf("%-15s %8.2f ms\n", stage.c_str(), times.best[stage] * 1e3);
    }
    if (times.distinctWeights != 0) std::printf("(%zu distinct weights)\n", times.distinctWeights);
    const segmora::TiledMergeReport& tiled = TileChoice::report;
    if (tiled.tiles != 0) {
        std::printf("(%d tiles: second pass %.1f%% of the %lld edges, tiles stopped at %.1f%%)\n",
                    tiled.tiles, 100.0 * static_cast<double>(tiled.secondPass) /
                                     static_cast<double>(tiled.edges),
                    static_cast<long long>(tiled.edges),
                    100.0 * static_cast<double>(tiled.stoppedAt) /
                        static_cast<double>(tiled.edges));
    }
    return 0;
}
