// The pieces of evaluate(): label maps with dense ids, boundary pixels, their matching
// within a tolerance through a summed-area table, and the overlap of two maps.
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

// Counts of pixels with a boundary pixel in the (2r + 1) x (2r + 1) window around them: a
// summed-area table of one map's boundary pixels.
class BoundaryTable {
  public:
    BoundaryTable(const std::vector<uint8_t>& boundary, int rows, int columns, int tolerance);
    // Whether a boundary pixel lies within the tolerance (Chebyshev distance) of (y, x).
    bool near(int y, int x) const;

  private:
    int rows, columns, radius;
    std::vector<int32_t> sums;  // (rows + 1) x (columns + 1)
};

// The boundary pixels of `from` (where `counted` is 1, or everywhere when it is empty)
// that have a boundary pixel of `table`'s map within its tolerance: {matched, total}.
struct Matches {
    int64_t matched = 0;
    int64_t total = 0;
};
Matches matchBoundaries(const std::vector<uint8_t>& from, const BoundaryTable& table, int rows,
                        int columns, const std::vector<uint8_t>& counted);

// The pixels shared by each superpixel s and truth segment g, grouped by s: entries
// (s, g, pixels), s increasing, g increasing within s. Pixels whose truth id is `skipG`
// (>= 0) are left out.
struct Overlap {
    int s, g;
    int64_t pixels;
};
std::vector<Overlap> overlaps(const std::vector<int>& sIds, int sCount,
                              const std::vector<int>& gIds, int gCount, int skipG);

}  // namespace segmora::evaluation
