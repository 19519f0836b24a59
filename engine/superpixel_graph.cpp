// describe(): sizes, centroids, boxes, mean colours and the adjacency of superpixels in
// one pass over the labels. Each row is taken a run of equal labels at a time: a run adds
// to its superpixel's sums once, and its borders with the run's right neighbour and with
// the row below are counted per neighbouring pixel of the next row.
#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "graph_background.h"
#include "lab_conversion.h"
#include "pair_counts.h"
#include "photo_kinds.h"
#include "segmora/segmora.h"

namespace segmora {

namespace {

struct Sums {
    int64_t size = 0;
    int64_t rows = 0;
    int64_t columns = 0;
    int minRow = std::numeric_limits<int>::max();
    int minColumn = std::numeric_limits<int>::max();
    int maxRow = -1;
    int maxColumn = -1;
};

struct ColourSums {
    std::array<uint64_t, 6> channel{};  // blue, green, red, L, a, b
};

// The photo's blue-green-red rows and their 8-bit Lab, a row converted at a time with the
// engine's own tables (the Lab the engine segments).
class ColourRows {
  public:
    ColourRows(const cv::Mat& bgr, bool wanted) : photo(bgr), wanted(wanted) {
        if (wanted) {
            tables = std::make_unique<LabTables>();
            lab.resize(static_cast<size_t>(photo.cols));
        }
    }
    bool present() const { return wanted; }
    const cv::Vec3b* bgrRow(int y) const { return photo.ptr<cv::Vec3b>(y); }
    const cv::Vec3b* labRow(int y) {
        const uint8_t* in = photo.ptr<uint8_t>(y);
        for (int x = 0; x < photo.cols; ++x) tables->convert(in + 3 * x, lab[x].val);
        return lab.data();
    }

  private:
    const cv::Mat& photo;
    const bool wanted;
    std::unique_ptr<LabTables> tables;
    std::vector<cv::Vec3b> lab;
};

void checkInput(const Segmentation& s, const cv::Mat& bgr, bool colours) {
    if (s.labels.dims > 2) throw std::invalid_argument("labels must be a two-dimensional matrix");
    if (s.count < 0) {
        throw std::invalid_argument("superpixel count must not be negative, not " +
                                    std::to_string(s.count));
    }
    if (static_cast<int64_t>(s.count) > std::max<int64_t>(s.labels.total(), kMaxGraphCount)) {
        throw std::invalid_argument("superpixel count " + std::to_string(s.count) +
                                    " is above both the pixel count and " +
                                    std::to_string(kMaxGraphCount));
    }
    if (!colours) return;
    if (bgr.type() != CV_8UC3 || bgr.dims != 2) {
        throw std::invalid_argument("photo must be 8-bit with three channels (CV_8UC3)");
    }
    if (bgr.rows != s.labels.rows || bgr.cols != s.labels.cols) {
        throw std::invalid_argument("photo is " + std::to_string(bgr.rows) + " x " +
                                    std::to_string(bgr.cols) + " but labels are " +
                                    std::to_string(s.labels.rows) + " x " +
                                    std::to_string(s.labels.cols));
    }
}

[[noreturn]] void badLabel(int label, int y, int x, int count) {
    refuseLabel(label, y, x, count);
}

// Superpixels touch about six others; no map has more pairs than 4 per pixel.
size_t expectedPairs(const Segmentation& s) {
    return std::min(3 * static_cast<size_t>(s.count), 4 * s.labels.total());
}

class GraphPass {
  public:
    GraphPass(const Segmentation& s, const cv::Mat& bgr, bool withColours)
        : labels(s.labels),
          count(s.count),
          sums(static_cast<size_t>(s.count)),
          colours(bgr, withColours),
          colourSums(colours.present() ? static_cast<size_t>(s.count) : 0),
          pairs(expectedPairs(s)) {}

    void run() {
        for (int y = 0; y < labels.rows; ++y) addRow(y);
    }
    SuperpixelGraph result();

  private:
    void addRow(int y);
    void addRun(int y, int x0, int x1, int a);
    void addColours(int y, int x0, int x1, int a);
    void addBordersBelow(int y, int x0, int x1, int a);

    const cv::Mat_<int>& labels;
    const int count;
    std::vector<Sums> sums;
    ColourRows colours;
    std::vector<ColourSums> colourSums;
    PairCounts pairs;
};

void GraphPass::addRow(int y) {
    const int* row = labels[y];
    const int width = labels.cols;
    for (int x0 = 0; x0 < width;) {
        const int a = row[x0];
        if (a < 1 || a > count) badLabel(a, y, x0, count);
        int x1 = x0 + 1;
        while (x1 < width && row[x1] == a) ++x1;
        addRun(y, x0, x1, a);
        if (x1 < width) pairs.add(a, row[x1], 1);
        x0 = x1;
    }
}

void GraphPass::addRun(int y, int x0, int x1, int a) {
    Sums& s = sums[a - 1];
    const int64_t length = x1 - x0;
    s.size += length;
    s.rows += length * y;
    s.columns += length * (int64_t{x0} + x1 - 1) / 2;  // x0 + ... + (x1 - 1)
    s.minRow = std::min(s.minRow, y);
    s.maxRow = y;
    s.minColumn = std::min(s.minColumn, x0);
    s.maxColumn = std::max(s.maxColumn, x1 - 1);
    if (colours.present()) addColours(y, x0, x1, a);
    if (y + 1 < labels.rows) addBordersBelow(y, x0, x1, a);
}

void GraphPass::addColours(int y, int x0, int x1, int a) {
    const cv::Vec3b* bgr = colours.bgrRow(y);
    const cv::Vec3b* lab = colours.labRow(y);
    uint64_t total[6] = {};
    for (int x = x0; x < x1; ++x) {
        for (int c = 0; c < 3; ++c) {
            total[c] += bgr[x][c];
            total[3 + c] += lab[x][c];
        }
    }
    for (int c = 0; c < 6; ++c) colourSums[a - 1].channel[c] += total[c];
}

// The pixel (y + 1, j) neighbours the run's pixels x with |x - j| <= 1.
void GraphPass::addBordersBelow(int y, int x0, int x1, int a) {
    const int* below = labels[y + 1];
    const int from = std::max(0, x0 - 1);
    const int to = x1 < labels.cols ? x1 + 1 : x1;
    for (int j = from; j < to; ++j) {
        const int b = below[j];
        if (b == a) continue;
        const int touching = std::min(x1 - 1, j + 1) - std::max(x0, j - 1) + 1;
        if (b < 1 || b > count) badLabel(b, y + 1, j, count);
        pairs.add(a, b, touching);
    }
}

SuperpixelGraph GraphPass::result() {
    SuperpixelGraph g;
    g.count = count;
    const auto n = static_cast<size_t>(count);
    const double none = std::numeric_limits<double>::quiet_NaN();
    g.size.resize(n);
    g.centroidRow.resize(n);
    g.centroidColumn.resize(n);
    g.minRow.resize(n);
    g.minColumn.resize(n);
    g.maxRow.resize(n);
    g.maxColumn.resize(n);
    for (size_t k = 0; k < n; ++k) {
        const Sums& s = sums[k];
        const bool empty = s.size == 0;
        const auto size = static_cast<double>(s.size);
        g.size[k] = s.size;
        g.centroidRow[k] = empty ? none : static_cast<double>(s.rows) / size;
        g.centroidColumn[k] = empty ? none : static_cast<double>(s.columns) / size;
        g.minRow[k] = empty ? 0 : s.minRow;
        g.minColumn[k] = empty ? 0 : s.minColumn;
        g.maxRow[k] = s.maxRow;
        g.maxColumn[k] = s.maxColumn;
    }
    for (size_t c = 0; c < 3 && colours.present(); ++c) {
        g.meanBgr[c].resize(n);
        g.meanLab[c].resize(n);
        for (size_t k = 0; k < n; ++k) {
            const auto size = static_cast<double>(sums[k].size);
            g.meanBgr[c][k] = sums[k].size == 0 ? none : colourSums[k].channel[c] / size;
            g.meanLab[c][k] = sums[k].size == 0 ? none : colourSums[k].channel[3 + c] / size;
        }
    }
    pairs.takeSorted(count, g.edgeA, g.edgeB, g.border);
    return g;
}

SuperpixelGraph passOver(const Segmentation& s, const cv::Mat& bgr, bool colours) {
    GraphPass pass(s, bgr, colours);
    pass.run();
    return pass.result();
}

// Background (label 0) goes through the pass as label count + 1 (graph_background.h).
SuperpixelGraph describeWith(const Segmentation& s, const cv::Mat& bgr, bool colours) {
    checkInput(s, bgr, colours);
    const cv::Mat_<int> withBackground = backgroundAsLastLabel(s);
    if (withBackground.empty()) return passOver(s, bgr, colours);
    SuperpixelGraph g = passOver(Segmentation{withBackground, s.count + 1}, bgr, colours);
    dropLastLabel(g);
    return g;
}

}  // namespace

SuperpixelGraph describe(const Segmentation& s, const cv::Mat& photo) {
    cv::Mat converted;
    return describeWith(s, bgrPhoto(photo, converted), true);
}

SuperpixelGraph describe(const Segmentation& s) {
    return describeWith(s, cv::Mat(), false);
}

}  // namespace segmora
