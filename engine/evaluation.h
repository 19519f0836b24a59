// The pieces of evaluate(): label maps with dense ids, boundary pixels, their matching
// within a tolerance, and the overlap of two maps.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

namespace segmora::evaluation {

// A label map renumbered 0 .. count - 1 (in increasing order of the original labels).
struct DenseLabels {
    std::vector<int> id;  // row-major, one per pixel
    int count = 0;
    int zeroId = -1;  // the id of label 0, -1 when no pixel carries it
};

DenseLabels denseLabels(const cv::Mat_<int>& labels);

// 1 where a pixel has a 4-neighbour inside the image with another label, else 0.
std::vector<uint8_t> boundaryPixels(const cv::Mat_<int>& labels);

// 1 where a boundary pixel lies within `tolerance` (the larger of the row and column
// distances) of the pixel, else 0: the map's boundary pixels grown by a square of side
// 2 * tolerance + 1, counted through sliding sums along the rows, then down the columns.
std::vector<uint8_t> nearBoundary(const std::vector<uint8_t>& boundary, int rows, int columns,
                                  int tolerance);

// The pixels where `from` is 1 (and `counted` is 1, unless it is empty): how many, and how
// many of them are near a boundary of the other map ({matched, total}).
struct Matches {
    int64_t matched = 0;
    int64_t total = 0;
};
Matches matchBoundaries(const std::vector<uint8_t>& from, const std::vector<uint8_t>& near,
                        const std::vector<uint8_t>& counted);

// The pixels shared by each superpixel s and truth segment g that have any: entries
// (s, g, pixels) in an order fixed by the maps. Pixels whose truth id is `skipG` (>= 0) are
// left out.
struct Overlap {
    int s, g;
    int64_t pixels;
};
std::vector<Overlap> overlaps(const std::vector<int>& sIds, int sCount,
                              const std::vector<int>& gIds, int gCount, int skipG);

}  // namespace segmora::evaluation
