// The tiled merge must give the one-piece labels byte for byte: on the samples
// and a mosaic of them at tile shapes from 1 pixel to more than the photo, with
// and without region maps, under every knob, and on photos made to put
// stripes, region borders and small segments right on the seams.
#include "tiled_merge.h"

#include <gtest/gtest.h>

#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "block_pool.h"
#include "photo_lab_planes.h"
#include "segment_merging.h"
#include "segment_numbering.h"
#include "segmentation_pipeline.h"
#include "test_photos.h"
#include "test_samples.h"

namespace segmora {
namespace {

BlockPool pool;

Segmentation labelsOf(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                      const Parameters& parameters, TileShape tiles, int threads = 2) {
    static const LabTables tables;  // made once: they take longer than a small photo
    Workspace workspace{pool, threads, false, &tables};
    workspace.tiles = tiles;
    return segmentBgrPhoto(bgr, parameters, regions, workspace);
}

// Expects the labels of each tile shape to be those of one piece.
void expectSameLabels(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                      const Parameters& parameters, const std::vector<TileShape>& shapes,
                      const std::string& what, int threads = 2) {
    const Segmentation whole = labelsOf(bgr, regions, parameters, TileShape{});
    for (const TileShape tiles : shapes) {
        const Segmentation tiled = labelsOf(bgr, regions, parameters, tiles, threads);
        ASSERT_EQ(whole.count, tiled.count)
            << what << ", tiles " << tiles.width << " x " << tiles.height;
        EXPECT_EQ(cv::countNonZero(whole.labels != tiled.labels), 0)
            << what << ", tiles " << tiles.width << " x " << tiles.height;
    }
}

const char* const kSamples[] = {"astronaut", "chelsea", "coffee", "gravel", "ihc"};

TEST(TiledMerge, SamplesAtEveryTileShape) {
    const std::vector<TileShape> shapes = {{16, 16}, {37, 23}, {1000, 1}, {1, 1000}, {4096, 4096}};
    for (const char* name : kSamples) {
        const cv::Mat bgr = sample(name);
        const cv::Mat_<int> regions = goldenRegions(name, bgr.size());
        expectSameLabels(bgr, cv::Mat_<int>(), photoParameters(false), shapes, name);
        expectSameLabels(bgr, regions, photoParameters(true), shapes,
                         std::string(name) + " with regions", 3);
    }
}

TEST(TiledMerge, EveryKnob) {
    const cv::Mat bgr = sample("chelsea");
    const std::vector<TileShape> shapes = {{64, 48}, {451, 75}};
    for (const float threshold : {0.0f, 20.0f, 3000.0f, 1e30f}) {
        Parameters parameters = photoParameters(false);
        parameters.threshold = threshold;
        expectSameLabels(bgr, cv::Mat_<int>(), parameters, shapes, "threshold");
    }
    for (const float sigma : {0.5f, 0.8f, 2.0f}) {
        Parameters parameters = photoParameters(false);
        parameters.sigma = sigma;
        expectSameLabels(bgr, cv::Mat_<int>(), parameters, shapes, "sigma");
    }
    for (const int capDivisor : {1, 7, 100, 3000}) {
        Parameters parameters = photoParameters(false);
        parameters.capDivisor = capDivisor;
        expectSameLabels(bgr, cv::Mat_<int>(), parameters, shapes, "cap divisor");
    }
    for (const int minSize : {1, 2, 50, 400}) {
        Parameters parameters = photoParameters(false);
        parameters.minSize = minSize;
        expectSameLabels(bgr, cv::Mat_<int>(), parameters, shapes, "minimum size");
    }
}

// The engine's general way in: double channels, smoothed or not, with regions.
TEST(TiledMerge, ChannelImages) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    cv::Mat_<cv::Vec3d> image(70, 90);
    for (cv::Vec3d& pixel : image) pixel = cv::Vec3d(value(rng), value(rng), value(rng));
    cv::Mat_<int> regions(image.size());
    for (int y = 0; y < regions.rows; ++y) {
        for (int x = 0; x < regions.cols; ++x) regions(y, x) = (x + y) / 13 % 3;
    }
    for (const float sigma : {0.0f, 0.8f}) {
        Parameters parameters = photoParameters(true);
        parameters.sigma = sigma;
        parameters.threshold = 3;
        const Segmentation whole = segmentImage(image, parameters, regions, Workspace{pool, 1});
        Workspace tiled{pool, 2};
        tiled.tiles = TileShape{13, 17};
        const Segmentation parts = segmentImage(image, parameters, regions, tiled);
        ASSERT_EQ(whole.count, parts.count) << sigma;
        EXPECT_EQ(cv::countNonZero(whole.labels != parts.labels), 0) << sigma;
    }
}

// A photo whose stripes, region borders or dots (segments below the minimum
// size) sit on the seams of `side` x `side` tiles.
cv::Mat seamPhoto(int rows, int cols, int side, int kind) {
    cv::Mat bgr(rows, cols, CV_8UC3, cv::Scalar(90, 120, 150));
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            const bool onSeam = x % side == 0 || x % side == side - 1;
            const bool dot = (x + 1) % side < 2 && (y + 1) % side < 2;
            if ((kind == 0 && onSeam) || (kind == 1 && dot) || (kind == 2 && (x / 3) % 2 == 0)) {
                bgr.at<cv::Vec3b>(y, x) = cv::Vec3b(20, static_cast<uint8_t>(40 + y % 3), 200);
            }
        }
    }
    return bgr;
}

TEST(TiledMerge, StripesRegionsAndSmallSegmentsOnSeams) {
    const int side = 24;
    cv::Mat_<int> acrossSeams(150, 170);
    for (int y = 0; y < acrossSeams.rows; ++y) {
        for (int x = 0; x < acrossSeams.cols; ++x) acrossSeams(y, x) = (x + 5) / side + (y % 7 == 3);
    }
    for (int kind = 0; kind < 3; ++kind) {
        const cv::Mat bgr = seamPhoto(150, 170, side, kind);
        for (const int minSize : {5, 30}) {
            Parameters parameters = photoParameters(false);
            parameters.minSize = minSize;
            const std::vector<TileShape> shapes = {{side, side}, {side - 1, side + 1}};
            const std::string what = "seam photo " + std::to_string(kind);
            expectSameLabels(bgr, cv::Mat_<int>(), parameters, shapes, what);
            expectSameLabels(bgr, acrossSeams, parameters, shapes, what + " with regions");
        }
    }
}

// Noise, a few grey levels (equal weights everywhere), diagonal stripes and one
// colour, where every edge weighs 0 and only the size cap decides.
TEST(TiledMerge, PhotosMadeToHurt) {
    std::mt19937 rng(39);
    const int shapes[][2] = {{1, 1}, {1, 50}, {50, 1}, {31, 47}, {96, 64}};
    for (const auto& size : shapes) {
        cv::Mat_<int> regions(size[0], size[1]);
        for (int i = 0; i < static_cast<int>(regions.total()); ++i) regions(i) = i % 7 / 3;
        for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
            const cv::Mat bgr = testPhoto(size[0], size[1], kind, rng);
            for (const int capDivisor : {1, 20, 3000}) {
                Parameters parameters = photoParameters(false);
                parameters.capDivisor = capDivisor;
                const std::vector<TileShape> shapes = {{1, 1}, {2, 3}, {16, 16}, {size[1], 5}};
                const std::string what = std::to_string(size[0]) + " x " +
                                         std::to_string(size[1]) + ", kind " +
                                         std::to_string(kind) + ", divisor " +
                                         std::to_string(capDivisor);
                expectSameLabels(bgr, cv::Mat_<int>(), parameters, shapes, what, 3);
                expectSameLabels(bgr, regions, parameters, shapes, what + ", regions", 3);
            }
        }
    }
}

// A mosaic of the samples, 2048 x 1024 (2 MP), at tile sizes up to 4096.
TEST(TiledMerge, MosaicAtLargeTiles) {
    cv::Mat mosaic(1024, 2048, CV_8UC3, cv::Scalar(30, 60, 90));
    int k = 0;
    for (int y = 0; y < mosaic.rows; y += 512) {
        for (int x = 0; x < mosaic.cols; x += 512, ++k) {
            cv::Mat piece = sample(kSamples[k % 5]);
            cv::Mat part = mosaic(cv::Rect(x, y, 512, 512));
            piece(cv::Rect(0, 0, std::min(piece.cols, 512), std::min(piece.rows, 512)))
                .copyTo(part(cv::Rect(0, 0, std::min(piece.cols, 512), std::min(piece.rows, 512))));
        }
    }
    expectSameLabels(mosaic, cv::Mat_<int>(), photoParameters(false),
                     {{2048, 512}, {700, 333}, {1024, 4096}}, "mosaic");
    // 2 MP on 2 threads: a Segmenter takes the tiled path by itself, and cleans up on
    // both threads. The labels are anchored to Segmora's label file of this mosaic from
    // before photos were merged in bands (its count, and FNV-1a of the labels as
    // little-endian 32-bit values, row by row).
    const Segmentation whole = labelsOf(mosaic, cv::Mat_<int>(), photoParameters(false), {});
    const Segmentation byDefault = Segmenter(2).segmentPhoto(mosaic);
    EXPECT_EQ(whole.count, byDefault.count);
    EXPECT_EQ(cv::countNonZero(whole.labels != byDefault.labels), 0);
    EXPECT_EQ(byDefault.count, 5226);
    uint64_t digest = 0xcbf29ce484222325;
    for (int y = 0; y < byDefault.labels.rows; ++y) {
        const auto* bytes = byDefault.labels.ptr<uint8_t>(y);
        for (size_t i = 0; i < byDefault.labels.cols * sizeof(int32_t); ++i) {
            digest = (digest ^ bytes[i]) * 0x100000001b3;
        }
    }
    EXPECT_EQ(digest, 0x1e1af1376b28ae04u);
}

// Bands of rows are found run by run rather than sifted: bands of one row on
// up to 64, neighbours owned by one thread or by different ones, a band per
// thread or several, each with a region map that crosses every seam.
TEST(TiledMerge, BandsOfRows) {
    std::mt19937 rng(11);
    for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
        const cv::Mat bgr = kind == 0 ? sample("coffee")(cv::Rect(100, 90, 70, 60)).clone()
                                      : testPhoto(60, 70, kind, rng);
        cv::Mat_<int> regions(bgr.rows, bgr.cols);
        for (int y = 0; y < bgr.rows; ++y) {
            for (int x = 0; x < bgr.cols; ++x) regions(y, x) = (x + 3 * y) / 17 % 3;
        }
        const std::vector<TileShape> shapes = {{70, 1}, {70, 2}, {500, 7}, {70, 30}, {70, 59}};
        for (const int threads : {1, 2, 3}) {
            const std::string what = "kind " + std::to_string(kind) + ", " +
                                     std::to_string(threads) + " threads";
            expectSameLabels(bgr, cv::Mat_<int>(), photoParameters(false), shapes, what, threads);
            expectSameLabels(bgr, regions, photoParameters(true), shapes, what + ", regions",
                             threads);
        }
    }
}

std::vector<int32_t> forestLabels(SegmentForest& forest, int32_t pixels) {
    std::vector<int32_t> labels(static_cast<size_t>(pixels) + 1);
    numberSegments(forest, labels.data(), pixels);
    labels.back() = forest.setCount;
    return labels;
}

// Where the tiles stop and hand the rest to the one-piece merge must not show:
// the forest holds the one-piece merges at every place they may stop.
TEST(TiledMerge, StoppingAnywhereGivesTheSameMerges) {
    std::mt19937 rng(7);
    const LabTables tables;
    const Workspace workspace{pool, 2, false, &tables};
    for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
        const cv::Mat bgr = testPhoto(40, 60, kind, rng);
        ChannelPlanes planes = planesFromPhoto(bgr, workspace);
        const SortedGraph graph = sortedGraphOf(
            planes.channels, bgr.cols, bgr.rows, [&] { planes.buffer.release(); }, workspace);
        const Parameters parameters = photoParameters(false);
        SegmentForest whole(pool, graph.pixelCount(), parameters.threshold);
        mergeSegments(whole, graph, parameters, nullptr);
        const std::vector<int32_t> expected = forestLabels(whole, graph.pixelCount());
        // a grid, and two bands of rows, one a thread (their stretches cut runs anywhere)
        for (const TileShape tiles : {TileShape{9, 11}, TileShape{60, 20}}) {
            for (const int64_t stretch : {61, 500, 100000}) {
                for (const double share : {0.0, 0.2, 1.0}) {
                    SegmentForest forest(pool, graph.pixelCount(), parameters.threshold);
                    const TiledMergeReport report = mergeSegmentsTiled(
                        forest, graph, parameters, nullptr, tiles, 2, share, stretch);
                    EXPECT_EQ(forestLabels(forest, graph.pixelCount()), expected)
                        << "kind " << kind << ", tiles " << tiles.width << " x "
                        << tiles.height << ", stretch " << stretch << ", share " << share;
                    if (share == 1.0) {
                        EXPECT_EQ(report.stoppedAt, report.edges);
                    } else if (share == 0.0 && stretch < report.edges && tiles.width == 9) {
                        // (the bands of a one-colour photo have nothing left to do)
                        EXPECT_LT(report.stoppedAt, report.edges);
                    }
                    EXPECT_LE(report.secondPass, report.visited);
                }
            }
        }
    }
}

// Flat areas across the seams of bands (their edges weigh 0 and merge in one
// piece before the bands start) beside noise, under caps that stop the flat
// areas' growth or not; a photo of one colour leaves the bands nothing to do.
TEST(TiledMerge, BandsAfterTheEdgesOfWeightZero) {
    std::mt19937 rng(5);
    const LabTables tables;
    const Workspace workspace{pool, 2, false, &tables};
    for (const int flatColumns : {0, 23, 64}) {
        cv::Mat bgr = testPhoto(48, 64, 0, rng);
        bgr(cv::Rect(0, 0, flatColumns, 48)).setTo(cv::Scalar(90, 20, 140));
        if (flatColumns < 64) cv::circle(bgr, cv::Point(40, 24), 9, cv::Scalar(10, 200, 30), -1);
        ChannelPlanes planes = planesFromPhoto(bgr, workspace);
        const SortedGraph graph = sortedGraphOf(
            planes.channels, bgr.cols, bgr.rows, [&] { planes.buffer.release(); }, workspace);
        for (const int capDivisor : {1, 40, 3000}) {
            Parameters parameters = photoParameters(false);
            parameters.capDivisor = capDivisor;
            SegmentForest whole(pool, graph.pixelCount(), parameters.threshold);
            mergeSegments(whole, graph, parameters, nullptr);
            const std::vector<int32_t> expected = forestLabels(whole, graph.pixelCount());
            for (const int rows : {1, 7, 24}) {
                SegmentForest forest(pool, graph.pixelCount(), parameters.threshold);
                const TiledMergeReport report = mergeSegmentsTiled(
                    forest, graph, parameters, nullptr, TileShape{64, rows}, 3);
                EXPECT_EQ(forestLabels(forest, graph.pixelCount()), expected)
                    << flatColumns << " flat columns, divisor " << capDivisor << ", bands of "
                    << rows;
                // all of one colour: every edge weighs 0 and merges in one piece
                EXPECT_EQ(report.visited == 0, flatColumns == 64);
            }
        }
    }
}

TEST(TiledMerge, AutomaticTilesAreBandsOnLargePhotosWithThreads) {
    EXPECT_TRUE(automaticTileShape(4000, 3000, 1).empty());
    EXPECT_TRUE(automaticTileShape(1000, 1000, 2).empty());
    const TileShape bands = automaticTileShape(4000, 3001, 2);
    EXPECT_EQ(bands.width, 4000);
    EXPECT_EQ(bands.height, 1501);
}

}  // namespace
}  // namespace segmora
