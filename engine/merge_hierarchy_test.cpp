// Hierarchies of real photos: exact counts, raster numbering, nesting between consecutive
// counts, the run's own labels at the default count, and cuts against a plain replay of the
// tree's merges.
#include "segmora/segmora.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <string>

namespace segmora {
namespace {

cv::Mat samplePhoto(const std::string& name) {
    const std::string path = std::string(SEGMORA_SAMPLES) + "/" + name;
    cv::Mat photo = cv::imread(path, cv::IMREAD_COLOR);
    if (photo.empty()) throw std::runtime_error("cannot read " + path);
    return photo;
}

// Three upright stripes of region ids.
cv::Mat_<int> stripeRegions(cv::Size size) {
    cv::Mat_<int> regions(size);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) regions(y, x) = 7 + x * 3 / size.width;
    }
    return regions;
}

// Labels 1 .. count, each first met in raster order after all lower ones.
void expectRasterNumbering(const Segmentation& s, int count) {
    ASSERT_EQ(s.count, count);
    int seen = 0;
    for (const int label : s.labels) {
        ASSERT_GE(label, 1);
        ASSERT_LE(label, seen + 1) << "labels not in raster order at count " << count;
        seen = std::max(seen, label);
    }
    EXPECT_EQ(seen, count);
}

// Every superpixel of `finer` lies inside one of `coarser`.
void expectNested(const Segmentation& finer, const Segmentation& coarser) {
    std::vector<int> inside(static_cast<size_t>(finer.count) + 1, 0);
    for (size_t p = 0; p < finer.labels.total(); ++p) {
        int& at = inside[finer.labels(static_cast<int>(p))];
        const int outer = coarser.labels(static_cast<int>(p));
        if (at == 0) at = outer;
        ASSERT_EQ(at, outer) << "count " << finer.count << " not inside count " << coarser.count;
    }
}

// The cut at `count` the plain way: the first merges of the tree replayed with a
// union-find over the finest labels, then numbered by first pixels.
cv::Mat_<int> replayedCut(const Hierarchy& h, int count) {
    const Segmentation finest = h.cut(h.finestCount());
    std::vector<int> parent(static_cast<size_t>(h.finestCount()));
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&](int x) {
        while (parent[x] != x) x = parent[x];
        return x;
    };
    const std::vector<Hierarchy::Merge> merges = h.merges();
    for (int k = 0; k < h.finestCount() - count; ++k) {
        parent[find(merges[k].a)] = find(merges[k].b);
    }
    std::vector<int> label(parent.size(), 0);
    cv::Mat_<int> labels(finest.labels.size());
    int next = 0;
    for (int p = 0; p < static_cast<int>(labels.total()); ++p) {
        int& l = label[find(finest.labels(p) - 1)];
        if (l == 0) l = ++next;
        labels(p) = l;
    }
    return labels;
}

bool sameLabels(const cv::Mat_<int>& a, const cv::Mat_<int>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

TEST(MergeHierarchy, DefaultCountGivesTheRunsOwnLabelsWithAndWithoutRegions) {
    for (const char* name : {"astronaut.png", "coffee.png", "gravel.png"}) {
        const cv::Mat photo = samplePhoto(name);
        for (const bool withRegions : {false, true}) {
            const cv::Mat_<int> regions =
                withRegions ? stripeRegions(photo.size()) : cv::Mat_<int>();
            const Segmentation run = segmentPhoto(photo, regions, Parameters());
            const Hierarchy h = hierarchyOfPhoto(photo, regions);
            ASSERT_EQ(h.defaultCount(), run.count) << name;
            EXPECT_TRUE(sameLabels(h.cut(run.count).labels, run.labels)) << name;
            // Several times finer than the run, as coarse as the regions allow.
            EXPECT_GE(h.finestCount(), 3 * h.defaultCount()) << name;
            EXPECT_GE(h.coarsestCount(), withRegions ? 3 : 1) << name;
            EXPECT_LE(h.coarsestCount(), withRegions ? h.defaultCount() : 1) << name;
        }
    }
}

TEST(MergeHierarchy, EveryCountIsExactNestedAndTheReplayOfTheTree) {
    const cv::Mat photo = samplePhoto("coffee.png");
    for (const bool withRegions : {false, true}) {
        const cv::Mat_<int> regions = withRegions ? stripeRegions(photo.size()) : cv::Mat_<int>();
        Parameters parameters;
        parameters.sigma = withRegions ? 0.8f : 0.0f;  // the general sort as well
        const Hierarchy h = hierarchyOfPhoto(photo, regions, parameters);
        const int counts[] = {h.coarsestCount(), h.coarsestCount() + 1, 50, 51, 200, 201,
                              h.defaultCount() - 1, h.defaultCount(), h.defaultCount() + 1,
                              2 * h.defaultCount(), 2 * h.defaultCount() + 1,
                              h.finestCount() - 1, h.finestCount()};
        for (const int count : counts) {
            if (count < h.coarsestCount() || count > h.finestCount()) continue;
            const Segmentation cut = h.cut(count);
            expectRasterNumbering(cut, count);
            EXPECT_TRUE(sameLabels(cut.labels, replayedCut(h, count))) << count;
            Parameters counted = parameters;  // cut without the tree
            counted.count = count;
            EXPECT_TRUE(sameLabels(segmentPhoto(photo, regions, counted).labels, cut.labels))
                << count;
            if (count > h.coarsestCount()) expectNested(h.cut(count), h.cut(count - 1));
        }
    }
}

// With a mask: outside pixels are 0 at every count, the mask's two separate pieces never
// join, the default cut is the masked run's labels, and a full mask changes nothing.
TEST(MergeHierarchy, MaskedCutsStayInsideAndAFullMaskChangesNothing) {
    const cv::Mat photo = samplePhoto("chelsea.png");
    cv::Mat mask = cv::Mat::zeros(photo.size(), CV_8UC1);
    mask(cv::Rect(10, 10, 150, 200)).setTo(1);
    mask(cv::Rect(200, 40, 200, 150)).setTo(1);
    const Hierarchy h = hierarchyOfPhoto(photo, cv::Mat_<int>(), Parameters(), mask);
    const Segmentation run = segmentPhoto(photo, cv::Mat_<int>(), Parameters(), mask);
    ASSERT_EQ(h.defaultCount(), run.count);
    EXPECT_TRUE(sameLabels(h.cut(run.count).labels, run.labels));
    EXPECT_EQ(h.coarsestCount(), 2);
    for (const int count : {2, 3, 40, run.count + 7, h.finestCount()}) {
        const Segmentation cut = h.cut(count);
        double largest = 0;
        cv::minMaxLoc(cut.labels, nullptr, &largest);
        EXPECT_EQ(largest, count);
        EXPECT_EQ(cv::countNonZero(cut.labels), cv::countNonZero(mask)) << count;
        EXPECT_EQ(cv::countNonZero((cut.labels != 0) & (mask == 0)), 0) << count;  // 0 outside
    }
    const Hierarchy plain = hierarchyOfPhoto(photo);
    const Hierarchy full =
        hierarchyOfPhoto(photo, cv::Mat_<int>(), Parameters(), cv::Mat::ones(photo.size(), CV_8UC1));
    ASSERT_EQ(full.finestCount(), plain.finestCount());
    for (const int count : {1, 90, plain.finestCount()})
        EXPECT_TRUE(sameLabels(full.cut(count).labels, plain.cut(count).labels)) << count;
}

TEST(MergeHierarchy, MergeHeightsAndTreeSize) {
    const Hierarchy h = hierarchyOfPhoto(samplePhoto("astronaut.png"));
    const std::vector<Hierarchy::Merge> merges = h.merges();
    ASSERT_EQ(static_cast<int>(merges.size()), h.finestCount() - h.coarsestCount());
    for (const Hierarchy::Merge& merge : merges) {
        ASSERT_TRUE(merge.height >= 0 && std::isfinite(merge.height));
        ASSERT_NE(merge.a, merge.b);
    }
}

// What `call` throws, or "" when it does not.
template <class Call>
std::string refusal(Call&& call) {
    try {
        call();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "";
}

TEST(MergeHierarchy, CountedRunsAreTheTreesCutsWithAMaskFromPhotosAndImages) {
    const cv::Mat photo = samplePhoto("astronaut.png");
    cv::Mat mask(photo.size(), CV_8UC1, cv::Scalar(0));
    mask(cv::Rect(photo.cols / 8, photo.rows / 5, photo.cols / 2, photo.rows / 2)).setTo(1);
    mask(cv::Rect(photo.cols / 2, photo.rows / 2, photo.cols / 3, photo.rows / 3)).setTo(1);
    const cv::Mat_<int> regions = stripeRegions(photo.size());
    cv::Mat_<cv::Vec3d> image;
    photo.convertTo(image, CV_64FC3);
    Segmenter segmenter(2);
    const Hierarchy fromPhoto = segmenter.hierarchyOfPhoto(photo, regions, Parameters(), mask);
    const Hierarchy fromImage = segmenter.hierarchyOf(image, Parameters(), regions, mask);
    for (const Hierarchy* h : {&fromPhoto, &fromImage}) {
        const bool isPhoto = h == &fromPhoto;
        Parameters counted;
        const auto run = [&](int count) {
            counted.count = count;
            return isPhoto ? segmenter.segmentPhoto(photo, regions, counted, mask)
                           : segmenter.segment(image, counted, regions, mask);
        };
        for (const int count : {h->coarsestCount(), h->coarsestCount() + 1, h->defaultCount() - 1,
                                h->defaultCount() + 1, h->finestCount() - 1, h->finestCount()}) {
            const Segmentation cut = h->cut(count), direct = run(count);
            EXPECT_EQ(direct.count, count);
            EXPECT_TRUE(sameLabels(direct.labels, cut.labels)) << count << (isPhoto ? "" : " image");
        }
        for (const int outside : {h->coarsestCount() - 1, h->finestCount() + 1}) {
            const std::string message = refusal([&] { h->cut(outside); });
            EXPECT_NE(message, "") << outside;
            EXPECT_EQ(refusal([&] { run(outside); }), message);
        }
    }
}

TEST(MergeHierarchy, CountKnobCutsTheRunAndRefusesCountsOutsideTheRange) {
    const cv::Mat photo = samplePhoto("chelsea.png");
    const Hierarchy h = hierarchyOfPhoto(photo);
    Parameters parameters;
    for (const int count : {1, 75, 500, h.finestCount()}) {
        parameters.count = count;
        const Segmentation s = segmentPhoto(photo, parameters);
        EXPECT_EQ(s.count, count);
        EXPECT_TRUE(sameLabels(s.labels, h.cut(count).labels)) << count;
        cv::Mat_<int> into(photo.rows, photo.cols);
        const int* before = into[0];
        EXPECT_EQ(Segmenter().segmentPhotoInto(photo, cv::Mat_<int>(), parameters, into), count);
        EXPECT_EQ(into[0], before);
        EXPECT_TRUE(sameLabels(into, s.labels));
    }
    const std::string range =
        "count must be from 1 to " + std::to_string(h.finestCount()) + " for this photo";
    for (const int count : {0, h.finestCount() + 1}) {
        try {
            h.cut(count);
            ADD_FAILURE() << count << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(range), std::string::npos) << e.what();
        }
    }
    parameters.count = h.finestCount() + 1;
    EXPECT_THROW(segmentPhoto(photo, parameters), std::invalid_argument);
    parameters.count = -1;
    EXPECT_THROW(segmentPhoto(photo, parameters), std::invalid_argument);
}

}  // namespace
}  // namespace segmora
