// A tiled run must give segmentPhoto's labels byte for byte: on the samples at tile shapes
// from 7 x 13 pixels to more than the photo, with and without region maps crossing the
// seams, under every knob (smoothing too), on photos made to hurt (noise, a few greys, stripes, one
// colour), on a mosaic of samples at native scale, whatever order the tiles run in.
#include "tile_first_pass.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <numeric>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <string>

#include "test_photos.h"
#include "test_samples.h"
#include "tiled_run_for_tests.h"

namespace segmora {
namespace {

// Expects every tile shape to give the one-piece labels; returns the one-piece count.
int expectOnePieceLabels(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                         const Parameters& parameters, const std::vector<cv::Size>& shapes,
                         const std::string& what) {
    const Segmentation whole = segmentPhoto(bgr, regions, parameters);
    for (const cv::Size& shape : shapes) {
        const TiledImage image =
            tiledImageOf(bgr, shape.width, shape.height, parameters, !regions.empty());
        const Segmentation tiled = tiledLabels(image, bgr, regions);
        const std::string at =
            what + ", tiles " + std::to_string(shape.width) + " x " + std::to_string(shape.height);
        EXPECT_EQ(whole.count, tiled.count) << at;
        EXPECT_EQ(cv::countNonZero(whole.labels != tiled.labels), 0) << at;
    }
    return whole.count;
}

const char* const kSamples[] = {"astronaut", "chelsea", "coffee", "gravel", "ihc"};

TEST(TiledImages, SamplesAtEveryTileShapeWithAndWithoutRegions) {
    const std::vector<cv::Size> shapes = {{16, 16}, {7, 13}, {64, 48}, {241, 321}, {700, 700}};
    std::ifstream counts(std::string(SEGMORA_SAMPLES) + "/../tests/golden/counts");
    std::map<std::string, int> golden;
    for (std::string name; counts >> name;) counts >> golden[name];
    for (const char* name : kSamples) {
        const cv::Mat bgr = sample(name);
        EXPECT_EQ(expectOnePieceLabels(bgr, cv::Mat_<int>(), Parameters(), shapes, name),
                  golden[std::string(name) + ".plain"]);
        EXPECT_EQ(expectOnePieceLabels(bgr, goldenRegions(name, bgr.size()), Parameters(), shapes,
                                       std::string(name) + " with regions"),
                  golden[std::string(name) + ".regions"]);
    }
}

TEST(TiledImages, EveryKnob) {
    const cv::Mat bgr = sample("chelsea");
    const std::vector<cv::Size> shapes = {{64, 48}, {7, 13}};
    for (const float threshold : {0.0f, 20.0f, 3000.0f, 1e30f}) {
        Parameters parameters;
        parameters.threshold = threshold;
        expectOnePieceLabels(bgr, cv::Mat_<int>(), parameters, shapes,
                             "threshold " + std::to_string(threshold));
    }
    for (const int divisor : {1, 3, 3000}) {
        Parameters parameters;
        parameters.capDivisor = divisor;
        expectOnePieceLabels(bgr, cv::Mat_<int>(), parameters, shapes,
                             "cap divisor " + std::to_string(divisor));
    }
    for (const float sigma : {0.8f, 2.5f}) {
        Parameters parameters;
        parameters.sigma = sigma;
        expectOnePieceLabels(bgr, cv::Mat_<int>(), parameters, {{64, 48}, {7, 13}, {451, 11}},
                             "sigma " + std::to_string(sigma));
    }
    for (const int threads : {1, 2}) {  // the join reads the tiles on a thread of its own or not
        Parameters parameters;
        parameters.threads = threads;
        expectOnePieceLabels(bgr, cv::Mat_<int>(), parameters, shapes,
                             std::to_string(threads) + " threads");
    }
    for (const int minSize : {0, 1, 30, 400}) {
        Parameters parameters;
        parameters.minSize = minSize;
        expectOnePieceLabels(bgr, goldenRegions("chelsea", bgr.size()), parameters, shapes,
                             "minimum size " + std::to_string(minSize));
    }
}

TEST(TiledImages, PhotosMadeToHurtAndRegionsAcrossEverySeam) {
    std::mt19937 rng(40);
    const std::vector<cv::Size> shapes = {{1, 1}, {5, 3}, {1, 40}, {40, 1}, {16, 16}};
    for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
        const cv::Mat bgr = testPhoto(37, 53, kind, rng);
        cv::Mat_<int> diagonal(bgr.size()), checks(bgr.size());
        for (int y = 0; y < bgr.rows; ++y) {
            for (int x = 0; x < bgr.cols; ++x) {
                diagonal(y, x) = (x + y) / 9;
                checks(y, x) = (x / 4 + y / 3) % 2;
            }
        }
        for (const int divisor : {1, 500}) {
            Parameters parameters;
            parameters.capDivisor = divisor;
            parameters.minSize = 6;
            const std::string what =
                "kind " + std::to_string(kind) + ", divisor " + std::to_string(divisor);
            expectOnePieceLabels(bgr, cv::Mat_<int>(), parameters, shapes, what);
            expectOnePieceLabels(bgr, diagonal, parameters, shapes, what + ", diagonal regions");
            expectOnePieceLabels(bgr, checks, parameters, shapes, what + ", checked regions");
        }
    }
}

// Nine samples side by side at their own scale, 1536 x 1536 pixels: seams between photos,
// and the cap of a larger image.
TEST(TiledImages, MosaicOfSamplesAtNativeScale) {
    cv::Mat mosaic(1536, 1536, CV_8UC3);
    for (int i = 0; i < 9; ++i) {
        const cv::Mat photo = sample(kSamples[i % 5]);
        const cv::Rect cell(512 * (i % 3), 512 * (i / 3), 512, 512);
        cv::Mat part = mosaic(cell);
        part.setTo(cv::Scalar(0, 0, 0));
        photo(cv::Rect(0, 0, std::min(512, photo.cols), std::min(512, photo.rows)))
            .copyTo(part(cv::Rect(0, 0, std::min(512, photo.cols), std::min(512, photo.rows))));
    }
    expectOnePieceLabels(mosaic, cv::Mat_<int>(), Parameters(), {{500, 300}, {1536, 97}}, "mosaic");
}

TEST(TiledImages, AnyOrderOfTilesGivesTheSameBytes) {
    const cv::Mat bgr = sample("coffee");
    const cv::Mat_<int> regions = goldenRegions("coffee", bgr.size());
    const TiledImage image = tiledImageOf(bgr, 90, 70, Parameters(), true);
    const std::vector<TileState> forward = firstPhase(image, bgr, regions);
    std::vector<int64_t> order(forward.size());
    std::iota(order.rbegin(), order.rend(), 0);
    const std::vector<TileState> backward = firstPhase(image, bgr, regions, order);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    const std::vector<TileState> shuffled = firstPhase(image, bgr, regions, order);
    // One Segmenter for tile after tile, warm from a photo of another size and from the
    // larger tiles at the top left, into one state kept from tile to tile (larger tiles
    // before smaller ones leave longer bytes in it).
    Segmenter warm;
    warm.segmentPhoto(sample("astronaut"));
    TileState state;
    for (size_t t = 0; t < forward.size(); ++t) {
        EXPECT_EQ(forward[t].join, backward[t].join) << t;
        EXPECT_EQ(forward[t].labels, shuffled[t].labels) << t;
        EXPECT_EQ(forward[t].join, shuffled[t].join) << t;
        const int64_t tile = order[t];
        warm.segmentTile(image, tile, bgr(cvRect(tileReadRect(image, tile))),
                         regions(cvRect(tileReadRect(image, tile))), nullptr, state);
        EXPECT_EQ(forward[tile].join, state.join) << tile;
        EXPECT_EQ(forward[tile].labels, state.labels) << tile;
    }
    EXPECT_EQ(joinStates(image, forward).tables, joinStates(image, shuffled).tables);
}

// Each tile keeps a small share of a textured photo's edges at large tiles; the counts add up.
TEST(TiledImages, FirstPassKeepsFewOfItsEdges) {
    const cv::Mat bgr = sample("astronaut");
    const TiledImage image = tiledImageOf(bgr, 256, 256, Parameters(), false);
    int64_t inner = 0, kept = 0;
    for (int64_t t = 0; t < tileCount(image); ++t) {
        const TileFirstPass pass =
            firstPassOf(image, t, bgr(cvRect(tileReadRect(image, t))), cv::Mat_<int>());
        inner += pass.innerEdges;
        kept += pass.keptEdges;
        EXPECT_LT(pass.labels.size(), 2 * 256u * 256u);  // runs: under 2 bytes a pixel
    }
    EXPECT_EQ(inner, 4 * (2 * 255 * 256 + 2 * 255 * 255));  // 4 tiles, 4 directions each
    EXPECT_LT(kept, inner / 5);
}

}  // namespace
}  // namespace segmora
