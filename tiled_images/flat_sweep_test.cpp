// After the flat sweep, tiles settle flat areas across seams themselves: the labels stay
// segmentPhoto's byte for byte (caps that stop flat segments and caps that do not, regions,
// smoothing, seams through every flat area), the join gets a segment per tile of such an
// area, and the sweep's bytes do not depend on how its rows came or where it was carried.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "flat_edges.h"
#include "test_photos.h"
#include "test_samples.h"
#include "tile_first_pass.h"
#include "tiled_run_for_tests.h"

namespace segmora {
namespace {

// A sample on a white page, with flat blocks of a few colours reaching across it.
cv::Mat pageWithFlatAreas(int width, int height) {
    cv::Mat page(height, width, CV_8UC3, cv::Scalar(255, 255, 255));
    const cv::Mat photo = sample("coffee");
    const cv::Rect inner(width / 4, height / 4, width / 2, height / 2);
    photo(cv::Rect(0, 0, inner.width, inner.height)).copyTo(page(inner));
    page(cv::Rect(0, height / 3, width, height / 9)).setTo(cv::Scalar(40, 90, 200));
    page(cv::Rect(width / 2, 0, width / 7, height)).setTo(cv::Scalar(40, 90, 201));
    return page;
}

void expectSweptLabels(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                       const Parameters& parameters, const std::string& what) {
    const Segmentation whole = segmentPhoto(bgr, regions, parameters);
    for (const cv::Size shape : {cv::Size(64, 48), cv::Size(7, 13), cv::Size(1, 40)}) {
        const TiledImage image =
            tiledImageOf(bgr, shape.width, shape.height, parameters, !regions.empty());
        const Segmentation tiled = tiledLabels(image, bgr, regions, {}, true);
        const std::string at =
            what + ", tiles " + std::to_string(shape.width) + " x " + std::to_string(shape.height);
        EXPECT_EQ(whole.count, tiled.count) << at;
        EXPECT_EQ(cv::countNonZero(whole.labels != tiled.labels), 0) << at;
    }
}

// Images one or two pixels wide or high, of runs of a few colours, with caps that stop flat
// segments: the sweep takes the edges at the photo's borders as the one-piece merge does.
TEST(FlatSweep, ThinImagesGiveTheOnePieceLabels) {
    std::mt19937 random(3);
    for (const cv::Size size :
         {cv::Size(1, 90), cv::Size(90, 1), cv::Size(2, 70), cv::Size(70, 2), cv::Size(33, 17)}) {
        cv::Mat bgr(size, CV_8UC3);
        cv::Vec3b colour(0, 0, 0);
        for (int y = 0; y < size.height; ++y) {
            for (int x = 0; x < size.width; ++x) {
                if (random() % 24 == 0) colour = cv::Vec3b(0, 80 * (random() % 2), 0);
                bgr.at<cv::Vec3b>(y, x) = colour;
            }
        }
        for (const int divisor : {1, 8}) {
            Parameters parameters;
            parameters.capDivisor = divisor;
            parameters.minSize = 3;
            expectSweptLabels(bgr, cv::Mat_<int>(), parameters,
                              std::to_string(size.width) + " x " + std::to_string(size.height) +
                                  ", divisor " + std::to_string(divisor));
        }
    }
}

TEST(FlatSweep, FlatAreasAcrossSeamsGiveTheOnePieceLabels) {
    const cv::Mat page = pageWithFlatAreas(240, 180);
    cv::Mat_<int> halves(page.size());
    for (int y = 0; y < page.rows; ++y) {
        for (int x = 0; x < page.cols; ++x) halves(y, x) = (x + 2 * y) / 150;
    }
    for (const int divisor : {1, 40, 3000}) {  // caps from the whole page to 34 pixels
        for (const float sigma : {0.0f, 0.8f}) {
            Parameters parameters;
            parameters.capDivisor = divisor;
            parameters.sigma = sigma;
            parameters.minSize = 12;
            const std::string what =
                "divisor " + std::to_string(divisor) + ", sigma " + std::to_string(sigma);
            expectSweptLabels(page, cv::Mat_<int>(), parameters, what);
            expectSweptLabels(page, halves, parameters, what + ", regions");
        }
    }
    std::mt19937 rng(41);
    for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
        Parameters parameters;
        parameters.capDivisor = 300;
        expectSweptLabels(testPhoto(37, 53, kind, rng), cv::Mat_<int>(), parameters,
                          "kind " + std::to_string(kind));
    }
}

TEST(FlatSweep, AFlatAreaCostsTheJoinASegmentPerTile) {
    const cv::Mat page = pageWithFlatAreas(400, 300);
    const TiledImage image = tiledImageOf(page, 50, 50, Parameters(), false);
    const std::vector<uint8_t> sweep = sweepOf(image, page, cv::Mat_<int>());
    size_t plain = 0, swept = 0;
    for (int64_t t = 0; t < tileCount(image); ++t) {
        const cv::Mat read = page(cvRect(tileReadRect(image, t)));
        plain += firstPassOf(image, t, read, cv::Mat_<int>()).segments.size();
        swept += firstPassOf(image, t, read, cv::Mat_<int>(), &sweep).segments.size();
    }
    EXPECT_GT(plain, 40000u);  // most of the page's pixels
    EXPECT_LT(swept, 6000u);   // the photo's segments and one or two per tile on the page
}

TEST(FlatSweep, RowsInAnyPiecesAndCarriedAsBytesGiveTheSameSweep) {
    const cv::Mat page = pageWithFlatAreas(120, 90);
    Parameters parameters;
    parameters.capDivisor = 200;  // a cap of 74 pixels: many edges kept apart
    parameters.sigma = 1.7f;
    const TiledImage image = tiledImageOf(page, 16, 16, parameters, false);
    const std::vector<uint8_t> inOne = sweepOf(image, page, cv::Mat_<int>(), page.rows);
    EXPECT_GT(inOne.size(), 800u);
    EXPECT_EQ(sweepOf(image, page, cv::Mat_<int>(), 1), inOne);
    FlatSweep first(image);
    first.addRows(page.rowRange(0, 41));
    FlatSweep carried(image, first.stateBytes());
    EXPECT_EQ(carried.rowsAdded(), 41);
    carried.addRows(page.rowRange(41, 90));
    EXPECT_EQ(carried.finish(), inOne);
}

// Tiles that start while the sweep goes on: the bytes so far give a covered tile the state
// the finished bytes give it, and are refused for a tile below the rows they cover.
TEST(FlatSweep, BytesSoFarServeTheTilesAboveAndNoOthers) {
    const cv::Mat page = pageWithFlatAreas(70, 90);
    Parameters parameters;
    parameters.capDivisor = 200;  // many edges kept apart, some at every seam
    for (const float sigma : {0.0f, 1.7f}) {
        parameters.sigma = sigma;
        const TiledImage image = tiledImageOf(page, 16, 16, parameters, false);
        const std::vector<uint8_t> finished = sweepOf(image, page, cv::Mat_<int>());
        FlatSweep sweep(image);
        Segmenter warm;  // the finished bytes' states in warm buffers
        std::vector<bool> seen(static_cast<size_t>(tileCount(image)), false);
        for (int y = 0; y < page.rows; y += 7) {
            sweep.addRows(page.rowRange(y, std::min(y + 7, page.rows)));
            const std::vector<uint8_t> soFar = sweep.bytesSoFar();
            for (int64_t tile = 0; tile < tileCount(image); ++tile) {
                const cv::Mat read = page(cvRect(tileReadRect(image, tile)));
                if (sweep.sweptRows() < sweptRowsNeeded(image, tile)) {
                    EXPECT_THROW(segmentTile(image, tile, read, cv::Mat_<int>(), soFar),
                                 std::invalid_argument);
                    continue;
                }
                if (seen[static_cast<size_t>(tile)]) continue;
                seen[static_cast<size_t>(tile)] = true;
                const TileState early = segmentTile(image, tile, read, cv::Mat_<int>(), soFar);
                const TileState late =
                    warm.segmentTile(image, tile, read, cv::Mat_<int>(), finished);
                EXPECT_EQ(early.join, late.join) << "tile " << tile << ", sigma " << sigma;
                EXPECT_EQ(early.labels, late.labels) << "tile " << tile;
            }
        }
        EXPECT_EQ(sweep.bytesSoFar(), finished);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), tileCount(image));
    }
}

TEST(FlatSweep, BytesOfAnotherRunAlteredOrMixedAreRefused) {
    const cv::Mat page = pageWithFlatAreas(60, 40);
    Parameters parameters;
    parameters.capDivisor = 100;
    const TiledImage image = tiledImageOf(page, 16, 16, parameters, false);
    const std::vector<uint8_t> sweep = sweepOf(image, page, cv::Mat_<int>());
    const cv::Mat read = page(cvRect(tileReadRect(image, 0)));
    TiledImage other = image;
    other.parameters.capDivisor = 20;
    EXPECT_THROW(segmentTile(other, 0, read, cv::Mat_<int>(), sweep), std::invalid_argument);
    std::vector<uint8_t> altered = sweep;
    altered[altered.size() / 2] ^= 4;
    EXPECT_THROW(segmentTile(image, 0, read, cv::Mat_<int>(), altered), std::invalid_argument);
    altered.assign(sweep.begin(), sweep.end() - 3);
    EXPECT_THROW(segmentTile(image, 0, read, cv::Mat_<int>(), altered), std::invalid_argument);

    FlatSweep half(image);
    half.addRows(page.rowRange(0, 20));
    EXPECT_THROW(half.finish(), std::invalid_argument);
    EXPECT_THROW(half.addRows(page.rowRange(0, 21)), std::invalid_argument);  // past the end
    std::vector<uint8_t> state = half.stateBytes();
    state[60] ^= 1;
    EXPECT_THROW(FlatSweep(image, state), std::invalid_argument);
    EXPECT_THROW(FlatSweep(image, sweep), std::invalid_argument);  // not a state

    std::vector<TileState> states = firstPhase(image, page, cv::Mat_<int>(), {}, true);
    states[3] = segmentTile(image, 3, page(cvRect(tileReadRect(image, 3))), cv::Mat_<int>());
    try {
        joinStates(image, states);
        ADD_FAILURE() << "a run of swept and unswept tiles was joined";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("tile 3"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace segmora
