// describe() against sums, boxes and neighbour pairs counted pixel by pixel, on segmented
// photos and on label maps made to trip a run-by-run pass.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <stdexcept>
#include <utility>

#include "segmora/segmora.h"

namespace segmora {
namespace {

// The graph by plain loops: every pixel, every one of its 8 neighbours.
SuperpixelGraph plainGraph(const cv::Mat_<int>& labels, int count, const cv::Mat& bgr) {
    const auto n = static_cast<size_t>(count);
    SuperpixelGraph g;
    g.count = count;
    g.size.assign(n, 0);
    std::vector<double> rows(n, 0), cols(n, 0), colour[6];
    g.minRow.assign(n, 0);
    g.minColumn.assign(n, 0);
    g.maxRow.assign(n, -1);
    g.maxColumn.assign(n, -1);
    for (auto& c : colour) c.assign(n, 0);
    cv::Mat lab;
    if (!bgr.empty()) cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
    std::map<std::pair<int, int>, int64_t> pairs;
    for (int y = 0; y < labels.rows; ++y) {
        for (int x = 0; x < labels.cols; ++x) {
            const int a = labels(y, x);
            if (a == 0) continue;  // background
            const size_t k = a - 1;
            if (g.size[k]++ == 0) {
                g.minRow[k] = g.maxRow[k] = y;
                g.minColumn[k] = g.maxColumn[k] = x;
            }
            rows[k] += y;
            cols[k] += x;
            g.minRow[k] = std::min(g.minRow[k], y);
            g.maxRow[k] = std::max(g.maxRow[k], y);
            g.minColumn[k] = std::min(g.minColumn[k], x);
            g.maxColumn[k] = std::max(g.maxColumn[k], x);
            for (int c = 0; c < 3 && !bgr.empty(); ++c) {
                colour[c][k] += bgr.at<cv::Vec3b>(y, x)[c];
                colour[3 + c][k] += lab.at<cv::Vec3b>(y, x)[c];
            }
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int v = y + dy, u = x + dx;
                    if (v < 0 || u < 0 || v >= labels.rows || u >= labels.cols) continue;
                    if (a < labels(v, u)) ++pairs[{a, labels(v, u)}];
                }
            }
        }
    }
    for (size_t k = 0; k < n; ++k) {
        const double size = static_cast<double>(g.size[k]);
        g.centroidRow.push_back(rows[k] / size);
        g.centroidColumn.push_back(cols[k] / size);
        for (int c = 0; c < 3 && !bgr.empty(); ++c) {
            g.meanBgr[c].push_back(colour[c][k] / size);
            g.meanLab[c].push_back(colour[3 + c][k] / size);
        }
    }
    for (const auto& [pair, border] : pairs) {
        g.edgeA.push_back(pair.first);
        g.edgeB.push_back(pair.second);
        g.border.push_back(border);
    }
    return g;
}

// Doubles compared bit for bit, NaN equal to NaN.
void expectSameValues(const std::vector<double>& got, const std::vector<double>& want,
                      const char* field) {
    ASSERT_EQ(got.size(), want.size()) << field;
    for (size_t k = 0; k < got.size(); ++k) {
        if (std::isnan(want[k])) {
            EXPECT_TRUE(std::isnan(got[k])) << field << " of superpixel " << k;
        } else {
            EXPECT_EQ(got[k], want[k]) << field << " of superpixel " << k;
        }
    }
}

void expectSameGraph(const SuperpixelGraph& got, const SuperpixelGraph& want) {
    EXPECT_EQ(got.count, want.count);
    EXPECT_EQ(got.size, want.size);
    expectSameValues(got.centroidRow, want.centroidRow, "centroid row");
    expectSameValues(got.centroidColumn, want.centroidColumn, "centroid column");
    EXPECT_EQ(got.minRow, want.minRow);
    EXPECT_EQ(got.minColumn, want.minColumn);
    EXPECT_EQ(got.maxRow, want.maxRow);
    EXPECT_EQ(got.maxColumn, want.maxColumn);
    for (int c = 0; c < 3; ++c) {
        expectSameValues(got.meanBgr[c], want.meanBgr[c], "mean colour");
        expectSameValues(got.meanLab[c], want.meanLab[c], "mean Lab");
    }
    EXPECT_EQ(got.edgeA, want.edgeA);
    EXPECT_EQ(got.edgeB, want.edgeB);
    EXPECT_EQ(got.border, want.border);
}

void expectPlainGraph(const cv::Mat_<int>& labels, int count, const cv::Mat& bgr = cv::Mat()) {
    const Segmentation s{labels, count};
    expectSameGraph(bgr.empty() ? describe(s) : describe(s, bgr), plainGraph(labels, count, bgr));
}

cv::Mat_<int> labelRows(std::initializer_list<std::initializer_list<int>> rows) {
    cv::Mat_<int> labels(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()));
    int y = 0;
    for (const auto& row : rows) std::copy(row.begin(), row.end(), labels[y++]);
    return labels;
}

cv::Mat_<cv::Vec3b> noisePhoto(int rows, int cols, unsigned seed) {
    std::mt19937 rng(seed);
    cv::Mat_<cv::Vec3b> photo(rows, cols);
    for (auto& p : photo) p = cv::Vec3b(rng() % 256, rng() % 256, rng() % 256);
    return photo;
}

TEST(SuperpixelGraph, EveryFieldOfSegmentedPhotosMatchesPlainLoops) {
    for (const char* name : {"chelsea.png", "coffee.png", "ihc.png"}) {
        const cv::Mat photo = cv::imread(std::string(SEGMORA_SAMPLES) + "/" + name);
        ASSERT_FALSE(photo.empty()) << name;
        const Segmentation s = segmentPhoto(photo);
        SCOPED_TRACE(name);
        expectPlainGraph(s.labels, s.count, photo);
        // Without the photo: the same, colours left out.
        const SuperpixelGraph bare = describe(s);
        for (const auto& channel : bare.meanBgr) EXPECT_TRUE(channel.empty());
        for (const auto& channel : bare.meanLab) EXPECT_TRUE(channel.empty());
        expectPlainGraph(s.labels, s.count);
        // Borders count every pixel pair once: the neighbour pairs of the photo whose
        // labels differ.
        int64_t differing = 0;
        for (int y = 0; y < s.labels.rows; ++y) {
            for (int x = 0; x < s.labels.cols; ++x) {
                const int a = s.labels(y, x);
                if (x + 1 < s.labels.cols) differing += a != s.labels(y, x + 1);
                if (y + 1 == s.labels.rows) continue;
                for (int dx = -1; dx <= 1; ++dx) {
                    if (x + dx >= 0 && x + dx < s.labels.cols)
                        differing += a != s.labels(y + 1, x + dx);
                }
            }
        }
        int64_t total = 0;
        for (int64_t b : bare.border) total += b;
        EXPECT_EQ(total, differing);
    }
}

// Labels spread out: label k becomes 2k + 1, so every even label and the count's last
// one are carried by no pixel.
Segmentation withGaps(const Segmentation& s) {
    Segmentation spread{s.labels.clone(), 2 * s.count + 2};
    for (int& label : spread.labels) label = 2 * label + 1;
    return spread;
}

TEST(SuperpixelGraph, RealPhotosOfSeveralSizesWithGapsMatchPlainLoops) {
    // Photos of thousands of superpixels take the pass through rows of many runs each: a
    // per-run slip in the colour sums shows in every mean.
    const cv::Mat astronaut = cv::imread(std::string(SEGMORA_SAMPLES) + "/astronaut.png");
    const cv::Mat gravel = cv::imread(std::string(SEGMORA_SAMPLES) + "/gravel.png");
    ASSERT_FALSE(astronaut.empty() || gravel.empty());
    cv::Mat large;
    cv::resize(gravel, large, cv::Size(), 2.5, 1.5, cv::INTER_AREA);
    const cv::Mat photos[] = {astronaut.row(200).clone(), astronaut.col(31).clone(),
                              gravel(cv::Rect(7, 11, 301, 97)).clone(), large};
    for (const cv::Mat& photo : photos) {
        SCOPED_TRACE(std::to_string(photo.cols) + " x " + std::to_string(photo.rows));
        const Segmentation s = withGaps(segmentPhoto(photo, Parameters{300.0f}));
        expectPlainGraph(s.labels, s.count, photo);
        EXPECT_TRUE(std::isnan(describe(s, photo).meanLab[1].back()));
    }
}

TEST(SuperpixelGraph, AwkwardLabelMapsMatchPlainLoops) {
    // One superpixel: no edges.
    const cv::Mat_<int> one(5, 7, 1);
    expectPlainGraph(one, 1, noisePhoto(5, 7, 1));
    EXPECT_TRUE(describe(Segmentation{one, 1}).edgeA.empty());
    // 1 x N and N x 1.
    expectPlainGraph(labelRows({{1, 1, 2, 3, 3, 3, 2, 1}}), 3, noisePhoto(1, 8, 2));
    expectPlainGraph(labelRows({{1}, {2}, {2}, {1}, {3}}), 3, noisePhoto(5, 1, 3));
    // A thin ring of 2 around 1, inside 3.
    expectPlainGraph(
        labelRows(
            {{3, 3, 3, 3, 3}, {3, 2, 2, 2, 3}, {3, 2, 1, 2, 3}, {3, 2, 2, 2, 3}, {3, 3, 3, 3, 3}}),
        3, noisePhoto(5, 5, 4));
    // Runs that start and end at the row ends, over a row of other runs.
    expectPlainGraph(labelRows({{1, 1, 1, 1}, {2, 3, 3, 4}, {2, 2, 4, 4}}), 4);
    // Every pixel its own superpixel, and a checkerboard of two labels.
    cv::Mat_<int> single(9, 11), checker(9, 11);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 11; ++x) {
            single(y, x) = y * 11 + x + 1;
            checker(y, x) = (x + y) % 2 + 1;
        }
    }
    expectPlainGraph(single, 99, noisePhoto(9, 11, 5));
    EXPECT_EQ(describe(Segmentation{single, 99}).edgeA.size(), size_t{4 * 99 - 3 * 11 - 3 * 9 + 2});
    expectPlainGraph(checker, 2);
    // Labels that no pixel carries: size 0, NaN centroid and colours, the empty box.
    expectPlainGraph(labelRows({{4, 4}, {1, 4}}), 6, noisePhoto(2, 2, 6));
    // Many pairs: the pair table grows several times.
    std::mt19937 rng(7);
    cv::Mat_<int> noise(120, 130);
    for (int& label : noise) label = static_cast<int>(rng() % 3000) + 1;
    expectPlainGraph(noise, 3000, noisePhoto(120, 130, 8));
    // Labels in a region of a larger matrix (rows not contiguous).
    expectPlainGraph(noise(cv::Rect(3, 5, 40, 30)), 3000, noisePhoto(30, 40, 9));
}

TEST(SuperpixelGraph, ExactBordersOfSmallMaps) {
    // Superpixels 1 and 4, 2 and 3 touch only at a corner.
    const SuperpixelGraph g = describe(Segmentation{labelRows({{1, 2}, {3, 4}}), 4});
    EXPECT_EQ(g.edgeA, (std::vector<int>{1, 1, 1, 2, 2, 3}));
    EXPECT_EQ(g.edgeB, (std::vector<int>{2, 3, 4, 3, 4, 4}));
    EXPECT_EQ(g.border, (std::vector<int64_t>(6, 1)));
    // Two pixels of 1 on a diagonal of 2: four straight pairs, no diagonal one.
    const SuperpixelGraph d = describe(Segmentation{labelRows({{1, 2}, {2, 1}}), 2});
    EXPECT_EQ(d.border, (std::vector<int64_t>{4}));
    EXPECT_EQ(d.centroidRow[0], 0.5);
    EXPECT_EQ(d.maxColumn[1], 1);
    // A 3-pixel run over a 3-pixel run: 3 straight and 4 diagonal pairs.
    const SuperpixelGraph r = describe(Segmentation{labelRows({{1, 1, 1}, {2, 2, 2}}), 2});
    EXPECT_EQ(r.border, (std::vector<int64_t>{7}));
}

TEST(SuperpixelGraph, RefusesBadInput) {
    const cv::Mat_<int> labels = labelRows({{1, 2}, {2, 3}});
    const cv::Mat photo = noisePhoto(2, 2, 1);
    const auto refused = [](const Segmentation& s, const cv::Mat& bgr) {
        EXPECT_THROW(describe(s, bgr), std::invalid_argument);
    };
    refused(Segmentation{labels, 3}, noisePhoto(2, 3, 1));  // sizes differ
    refused(Segmentation{labels, 3}, noisePhoto(3, 2, 1));
    refused(Segmentation{labels, 3}, cv::Mat(2, 2, CV_16SC1, cv::Scalar(0)));
    refused(Segmentation{labels, 3}, cv::Mat(2, 2, CV_32FC3, cv::Scalar(-0.5)));
    refused(Segmentation{labels, 3}, cv::Mat());  // describe(s) is the call without colours
    // No pixels: a graph of empty superpixels, with colours when a photo of no pixels is given.
    const SuperpixelGraph none =
        describe(Segmentation{cv::Mat_<int>(0, 4), 2}, cv::Mat(0, 4, CV_8UC3));
    EXPECT_EQ(none.size, (std::vector<int64_t>{0, 0}));
    EXPECT_EQ(none.meanLab[2].size(), 2u);
    EXPECT_TRUE(std::isnan(none.meanBgr[0][1]));
    EXPECT_TRUE(describe(Segmentation{cv::Mat_<int>(), 0}).border.empty());
    refused(Segmentation{cv::Mat_<int>(), 0}, cv::Mat());
    refused(Segmentation{labels, 2}, photo);  // 3 beyond the count (in the row below)
    refused(Segmentation{labelRows({{1, 3}, {2, 2}}), 2}, photo);  // beyond, at a run's right
    refused(Segmentation{labelRows({{1, 0}, {2, 3}}), 2}, photo);  // beyond, with background
    refused(Segmentation{labelRows({{1, 1}, {-1, 1}}), 2}, photo);
    refused(Segmentation{labels, -1}, photo);
    refused(Segmentation{labels, kMaxGraphCount + 1}, photo);
    EXPECT_NO_THROW(describe(Segmentation{labels, kMaxGraphCount}, photo));
}

}  // namespace
}  // namespace segmora

namespace segmora {
namespace {

// Label 0 is background: the pass must leave its pixels out of every node, edge and mean,
// wherever it lies (rows, single pixels, whole superpixels) and whatever the gaps.
TEST(SuperpixelGraph, BackgroundAndGapsMatchPlainLoops) {
    const cv::Mat coffee = cv::imread(std::string(SEGMORA_SAMPLES) + "/coffee.png");
    ASSERT_FALSE(coffee.empty());
    cv::Mat large;
    cv::resize(coffee, large, cv::Size(), 1.7, 1.3, cv::INTER_AREA);
    for (const cv::Mat& photo : {coffee(cv::Rect(50, 40, 211, 123)).clone(), large}) {
        Segmentation s = segmentPhoto(photo, Parameters{300.0f});
        s.count = 2 * s.count + 2;  // every even label and the last carried by no pixel
        for (int& label : s.labels) label = label % 3 == 0 ? 0 : 2 * label + 1;
        s.labels.row(0).setTo(0);
        s.labels.col(s.labels.cols - 1).setTo(0);
        for (int y = 0; y < s.labels.rows; y += 7) s.labels(y, (y * 13) % s.labels.cols) = 0;
        SCOPED_TRACE(std::to_string(photo.cols) + " x " + std::to_string(photo.rows));
        expectPlainGraph(s.labels, s.count, photo);
        expectPlainGraph(s.labels, s.count);
    }
    // Only background; background beside the largest count allowed.
    expectPlainGraph(cv::Mat_<int>(3, 4, 0), 0, noisePhoto(3, 4, 2));
    expectPlainGraph(cv::Mat_<int>(3, 4, 0), 5);
    const SuperpixelGraph edge =
        describe(Segmentation{labelRows({{0, kMaxGraphCount}}), kMaxGraphCount});
    EXPECT_EQ(edge.size.back(), 1);
    EXPECT_TRUE(edge.edgeA.empty());
    // A 0-based map passed as labels + 1 gives the labels' own graph.
    const cv::Mat_<int> zeroBased = labelRows({{0, 0, 1}, {2, 1, 1}});
    const SuperpixelGraph shifted = describe(Segmentation{zeroBased + 1, 3});
    EXPECT_EQ(shifted.size, (std::vector<int64_t>{2, 3, 1}));
    EXPECT_EQ(describe(Segmentation{zeroBased, 2}).size, (std::vector<int64_t>{3, 1}));
}

}  // namespace
}  // namespace segmora
