// evaluate() on small maps whose measures are worked out by hand (docs/evaluation.md), and
// the boundary matching against a plain scan of every window.
#include "evaluation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>

#include "segmora/segmora.h"

namespace segmora {
namespace {

// A 5 x 8 map whose label is 1 left of column `split` and 2 from it on.
cv::Mat_<int> halves(int split, int left = 1, int right = 2) {
    cv::Mat_<int> m(5, 8);
    for (int y = 0; y < m.rows; ++y) {
        for (int x = 0; x < m.cols; ++x) m(y, x) = x < split ? left : right;
    }
    return m;
}

Segmentation segmentationOf(const cv::Mat_<int>& labels) {
    return Segmentation{labels, 0};
}

EvaluationOptions within(int tolerance, bool ignoreZero = false) {
    EvaluationOptions o;
    o.tolerance = tolerance;
    o.ignoreZero = ignoreZero;
    return o;
}

// Truth boundary at columns 3 and 4, superpixel boundary at columns 5 and 6.
TEST(Evaluation, BoundariesMatchUpToTheToleranceAndNoFurther) {
    const Segmentation s = segmentationOf(halves(6));
    const std::vector<cv::Mat_<int>> truth{halves(4)};
    const double recall[] = {0, 0.5, 1, 1}, precision[] = {0, 0.5, 1, 1};
    for (int r = 0; r <= 3; ++r) {
        const Evaluation e = evaluate(s, truth, within(r));
        EXPECT_EQ(e.boundaryRecall, recall[r]) << r;
        EXPECT_EQ(e.boundaryPrecision, precision[r]) << r;
    }
    EXPECT_EQ(evaluate(s, truth, within(1 << 30)).boundaryRecall, 1);
}

TEST(Evaluation, OverlapsAndShapesOfTwoRectangles) {
    const Evaluation e = evaluate(segmentationOf(halves(6)), {halves(4)});
    EXPECT_EQ(e.count, 2);
    EXPECT_EQ(e.truths, 1);
    EXPECT_EQ(e.undersegmentationError, 20.0 / 40);  // g1: min(20, 10); g2: min(10, 20) + 0
    EXPECT_EQ(e.achievableAccuracy, 30.0 / 40);
    // 5 x 6 (perimeter 22) and 5 x 2 (perimeter 14).
    const double expected = 30.0 / 40 * 4 * M_PI * 30 / (22 * 22) + 10.0 / 40 * 4 * M_PI * 10 / 196;
    EXPECT_DOUBLE_EQ(e.compactness, expected);
    EXPECT_TRUE(std::isnan(e.explainedVariation));
}

TEST(Evaluation, OneSegmentAndAllDifferentPixels) {
    const std::vector<cv::Mat_<int>> truth{halves(4)};
    const Evaluation one = evaluate(segmentationOf(halves(8, 7, 7)), truth);
    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(one.boundaryRecall, 0);
    EXPECT_EQ(one.boundaryPrecision, 1);  // no superpixel boundary
    EXPECT_EQ(one.undersegmentationError, 1);
    EXPECT_EQ(one.achievableAccuracy, 0.5);
    EXPECT_DOUBLE_EQ(one.compactness, 4 * M_PI * 40 / (26 * 26));

    cv::Mat_<int> each(5, 8);
    for (int i = 0; i < 40; ++i) each(i / 8, i % 8) = 1000 - 7 * i;
    cv::Mat photo(5, 8, CV_8UC3);
    cv::randu(photo, 0, 256);
    for (int r : {0, 2}) {
        const Evaluation e = evaluate(segmentationOf(each), truth, photo, within(r));
        EXPECT_EQ(e.count, 40);
        EXPECT_EQ(e.boundaryRecall, 1);
        EXPECT_EQ(e.boundaryPrecision, r == 0 ? 10.0 / 40 : 30.0 / 40);  // columns 3-4, 1-6
        EXPECT_EQ(e.undersegmentationError, 0);
        EXPECT_EQ(e.achievableAccuracy, 1);
        EXPECT_DOUBLE_EQ(e.explainedVariation, 1);
        EXPECT_DOUBLE_EQ(e.compactness, M_PI / 4);
    }
}

TEST(Evaluation, ExplainedVariationOfGreyValues) {
    // Values 0, 0 | 10, 30 around the mean 10: 200 + 200 explained of 100 + 100 + 0 + 400.
    const cv::Mat_<int> labels = (cv::Mat_<int>(2, 2) << 4, 4, 9, 9);
    const cv::Mat_<uint8_t> grey = (cv::Mat_<uint8_t>(2, 2) << 0, 0, 10, 30);
    cv::Mat photo;
    cv::merge(std::vector<cv::Mat>{grey, grey, grey}, photo);
    EXPECT_DOUBLE_EQ(evaluate(segmentationOf(labels), {}, photo).explainedVariation, 2.0 / 3);
    const cv::Mat flat(2, 2, CV_8UC3, cv::Scalar(5, 6, 7));
    EXPECT_TRUE(std::isnan(evaluate(segmentationOf(labels), {}, flat).explainedVariation));
}

TEST(Evaluation, SeveralTruthsAreAveraged) {
    const Segmentation s = segmentationOf(halves(6));
    const std::vector<cv::Mat_<int>> truths{halves(4), halves(8, 3, 3)};  // the second: no boundary
    const Evaluation e = evaluate(s, truths, within(1));
    EXPECT_EQ(e.truths, 2);
    EXPECT_EQ(e.boundaryRecall, (0.5 + 1) / 2);
    EXPECT_EQ(e.boundaryPrecision, (0.5 + 0) / 2);
    EXPECT_EQ(e.undersegmentationError, (0.5 + 0) / 2);
    EXPECT_EQ(e.achievableAccuracy, (0.75 + 1) / 2);
    const Evaluation none = evaluate(s, {});
    EXPECT_EQ(none.truths, 0);
    EXPECT_TRUE(std::isnan(none.boundaryRecall) && std::isnan(none.undersegmentationError));
}

TEST(Evaluation, ZeroIsUnlabelledOnlyWhenAsked) {
    // Columns 0-1 unlabelled (0), 2-3 label 1, 4-7 label 2; superpixels split at column 6.
    cv::Mat_<int> truth = halves(4);
    truth.colRange(0, 2).setTo(0);
    const Segmentation s = segmentationOf(halves(6));
    const Evaluation plain = evaluate(s, {truth}, within(1));
    EXPECT_EQ(plain.boundaryRecall, 5.0 / 20);  // columns 1-4, only 4 near column 5
    EXPECT_EQ(plain.undersegmentationError, 30.0 / 40);
    EXPECT_EQ(plain.achievableAccuracy, 20.0 / 40);
    const Evaluation ignoring = evaluate(s, {truth}, within(1, true));
    EXPECT_EQ(ignoring.boundaryRecall, 5.0 / 15);  // columns 2-4
    EXPECT_EQ(ignoring.boundaryPrecision, 0.5);
    EXPECT_EQ(ignoring.undersegmentationError, 20.0 / 30);
    EXPECT_EQ(ignoring.achievableAccuracy, 20.0 / 30);
    EXPECT_EQ(ignoring.count, plain.count);
    EXPECT_EQ(ignoring.compactness, plain.compactness);

    // Superpixel boundaries only inside the unlabelled part: none counted.
    const Evaluation outside = evaluate(segmentationOf(halves(1)), {truth}, within(0, true));
    EXPECT_EQ(outside.boundaryPrecision, 1);
    const Evaluation empty = evaluate(s, {halves(8, 0, 0)}, within(2, true));
    EXPECT_EQ(empty.boundaryRecall, 1);
    EXPECT_TRUE(std::isnan(empty.undersegmentationError) && std::isnan(empty.achievableAccuracy));
}

TEST(Evaluation, OnlyEqualityOfLabelsCounts) {
    // Labels far apart (renumbered through a sorted list) score as 1 and 2 do.
    const cv::Mat_<int> wide = halves(6, INT32_MIN, INT32_MAX);
    const Evaluation a = evaluate(segmentationOf(halves(6)), {halves(4)}, within(1));
    const Evaluation b = evaluate(segmentationOf(wide), {halves(4, -3, 0)}, within(1));
    EXPECT_EQ(a.boundaryRecall, b.boundaryRecall);
    EXPECT_EQ(a.undersegmentationError, b.undersegmentationError);
    EXPECT_EQ(a.achievableAccuracy, b.achievableAccuracy);
    EXPECT_EQ(a.compactness, b.compactness);
    EXPECT_EQ(b.count, 2);
}

// Superpixels of two pixels side by side; a truth boundary after column 150 cuts one of
// them per row. With five truth bands the pairs are too many for a table of every pair.
TEST(Evaluation, OverlapsOfManySegmentsCountedEitherWay) {
    cv::Mat_<int> pairs(300, 300), twoBands(300, 300), fiveBands(300, 300);
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 300; ++x) {
            pairs(y, x) = y * 150 + x / 2 + 1;  // from 1: label 0 would be left out
            twoBands(y, x) = x < 151 ? 0 : 1;
            fiveBands(y, x) = x < 151 ? 0 : x < 200 ? 1 : x < 240 ? 2 : x < 270 ? 3 : 4;
        }
    }
    for (const cv::Mat_<int>& truth : {twoBands, fiveBands}) {
        const Evaluation e = evaluate(segmentationOf(pairs), {truth});
        EXPECT_EQ(e.undersegmentationError, 600.0 / 90000);
        EXPECT_EQ(e.achievableAccuracy, (90000.0 - 300) / 90000);
    }
}

// Label 0 of the segmentation (outside a mask) is left out of every measure, on both sides:
// no count, no pixel of any sum, no boundary pixel, and its edge no boundary.
TEST(Evaluation, PixelsOfSegmentationLabelZeroAreLeftOut) {
    cv::Mat_<int> masked(6, 8), truth(6, 8);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            masked(y, x) = x < 2 ? 0 : x < 5 ? 1 : 2;
            truth(y, x) = x < 4 ? 1 : 2;
        }
    }
    cv::Mat bgr(6, 8, CV_8UC3, cv::Scalar(10, 20, 30));
    bgr.colRange(0, 2).setTo(cv::Scalar(200, 0, 0));  // outside: would add to the spread
    bgr.colRange(5, 8).setTo(cv::Scalar(50, 60, 70));
    const Evaluation e = evaluate(segmentationOf(masked), {truth}, bgr, within(0));
    EXPECT_EQ(e.count, 2);
    EXPECT_DOUBLE_EQ(e.undersegmentationError, 12.0 / 36);
    EXPECT_DOUBLE_EQ(e.achievableAccuracy, 30.0 / 36);
    EXPECT_DOUBLE_EQ(e.boundaryRecall, 0.5);      // truth columns 3, 4; superpixels' 4, 5
    EXPECT_DOUBLE_EQ(e.boundaryPrecision, 0.5);   // columns 1 and 2 are no boundary
    EXPECT_DOUBLE_EQ(e.explainedVariation, 1.0);  // each superpixel one colour inside
    EXPECT_EQ(evaluate(segmentationOf(masked), {truth}, within(2)).boundaryRecall, 1.0);
    const Evaluation none = evaluate(segmentationOf(cv::Mat_<int>(6, 8, 0)), {truth});
    EXPECT_EQ(none.count, 0);
    EXPECT_TRUE(std::isnan(none.undersegmentationError));
}

TEST(Evaluation, RefusesWhatItCannotScore) {
    const Segmentation s = segmentationOf(halves(6));
    EXPECT_THROW(evaluate(s, {cv::Mat_<int>(5, 7, 1)}), std::invalid_argument);
    EXPECT_THROW(evaluate(s, {halves(4)}, within(-1)), std::invalid_argument);
    EXPECT_THROW(evaluate(segmentationOf(cv::Mat_<int>()), {}), std::invalid_argument);
    EXPECT_THROW(evaluate(s, {}, cv::Mat(5, 8, CV_8UC1, cv::Scalar(0))), std::invalid_argument);
    EXPECT_THROW(evaluate(s, {}, cv::Mat(4, 8, CV_8UC3, cv::Scalar(0))), std::invalid_argument);
}

// The sliding sums against every window scanned, on random maps and tolerances.
TEST(Evaluation, NearBoundaryMatchesAScanOfEachWindow) {
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        // Small tolerances take shifted rows, large ones sliding sums.
        const int rows = 1 + int(rng() % 31), columns = 1 + int(rng() % 37);
        const int r = round % 2 == 0 ? int(rng() % 5) : 9 + int(rng() % 8);
        cv::Mat_<int> a(rows, columns), b(rows, columns);
        for (int i = 0; i < rows * columns; ++i) {
            a(i / columns, i % columns) = int(rng() % 3);
            b(i / columns, i % columns) = int(rng() % 40 == 0);
        }
        const std::vector<uint8_t> from = evaluation::boundaryPixels(a),
                                   to = evaluation::boundaryPixels(b);
        const std::vector<uint8_t> near = evaluation::nearBoundary(to, rows, columns, r);
        int64_t matched = 0, total = 0;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) {
                if (!from[size_t(y) * columns + x]) continue;
                ++total;
                bool near = false;
                for (int v = std::max(0, y - r); v <= std::min(rows - 1, y + r); ++v) {
                    for (int u = std::max(0, x - r); u <= std::min(columns - 1, x + r); ++u) {
                        near = near || to[size_t(v) * columns + u];
                    }
                }
                matched += near;
            }
        }
        const evaluation::Matches m = evaluation::matchBoundaries(from, near, {});
        EXPECT_EQ(m.matched, matched);
        EXPECT_EQ(m.total, total);
    }
}

}  // namespace
}  // namespace segmora
