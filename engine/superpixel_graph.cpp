// describe(): sizes, centroids, boxes, mean colours and the adjacency of superpixels in
// one pass over the labels. Each row is taken a run of equal labels at a time: a run adds
// to its superpixel's sums once, with its border to the run on its right; the borders
// between two rows are counted a pair of touching runs at a time. With a photo, a run's
// pixels are converted to Lab as they are summed: each pixel is read and converted once,
// whatever the number of runs.
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

// Sums of a run's colours and of their 8-bit Lab, converted with the engine's own tables
// (the Lab the engine segments).
class ColourSummer {
  public:
    ColourSummer(const cv::Mat& bgr, bool wanted) : photo(bgr) {
        if (wanted) tables = std::make_unique<LabTables>();
    }
    bool present() const { return tables != nullptr; }
    const uint8_t* row(int y) const { return photo.ptr<uint8_t>(y); }
    void addRun(const uint8_t* row, int x0, int x1, ColourSums& to) const {
        uint64_t blue = 0, green = 0, red = 0, l = 0, a = 0, b = 0;
        for (const uint8_t* p = row + 3 * x0; p != row + 3 * x1; p += 3) {
            uint8_t lab[3];
            tables->convert(p, lab);
            blue += p[0];
            green += p[1];
            red += p[2];
            l += lab[0];
            a += lab[1];
            b += lab[2];
        }
        to.channel[0] += blue;
        to.channel[1] += green;
        to.channel[2] += red;
        to.channel[3] += l;
        to.channel[4] += a;
        to.channel[5] += b;
    }

  private:
    const cv::Mat& photo;
    std::unique_ptr<LabTables> tables;
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

// A run of equal labels in a row: columns x0 .. x1 - 1.
struct Run {
    int x0, x1, label;
};

// Neighbouring pixel pairs (p, q), p in columns x0 .. x1 - 1 of one row and q in u0 .. u1 - 1
// of the next: for each offset d of -1, 0, 1 the columns x with x + d in u0 .. u1 - 1.
int64_t touchingPairs(const Run& r, const Run& s) {
    int64_t n = 0;
    for (int d = -1; d <= 1; ++d) {
        const int64_t from = std::max(r.x0, s.x0 - d), to = std::min(r.x1, s.x1 - d);
        n += std::max<int64_t>(0, to - from);
    }
    return n;
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
        std::vector<Run> above, row;
        for (int y = 0; y < labels.rows; ++y) {
            addRow(y, row);
            if (y > 0) addBordersBetween(above, row);
            above.swap(row);
        }
    }
    SuperpixelGraph result();

  private:
    void addRow(int y, std::vector<Run>& runs);
    void addRun(int y, int x0, int x1, int a);
    void addBordersBetween(const std::vector<Run>& above, const std::vector<Run>& below);

    const cv::Mat_<int>& labels;
    const int count;
    std::vector<Sums> sums;
    ColourSummer colours;
    std::vector<ColourSums> colourSums;
    PairCounts pairs;
};

// The row's runs, each added to its superpixel's sums, with the border to its right.
void GraphPass::addRow(int y, std::vector<Run>& runs) {
    runs.clear();
    const int* row = labels[y];
    const int width = labels.cols;
    const uint8_t* photoRow = colours.present() ? colours.row(y) : nullptr;
    for (int x0 = 0; x0 < width;) {
        const int a = row[x0];
        if (a < 1 || a > count) badLabel(a, y, x0, count);
        int x1 = x0 + 1;
        while (x1 < width && row[x1] == a) ++x1;
        addRun(y, x0, x1, a);
        if (photoRow != nullptr) colours.addRun(photoRow, x0, x1, colourSums[a - 1]);
        if (x1 < width) pairs.add(a, row[x1], 1);
        runs.push_back(Run{x0, x1, a});
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
}

// Borders between two rows, a pair of runs at a time: the runs below that a run above
// touches are those reaching from one column before it to one after it.
void GraphPass::addBordersBetween(const std::vector<Run>& above, const std::vector<Run>& below) {
    size_t first = 0;  // the first run below that reaches the current run above
    for (const Run& r : above) {
        while (below[first].x1 < r.x0) ++first;
        for (size_t k = first; k < below.size() && below[k].x0 <= r.x1; ++k) {
            if (below[k].label != r.label)
                pairs.add(r.label, below[k].label, touchingPairs(r, below[k]));
        }
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
