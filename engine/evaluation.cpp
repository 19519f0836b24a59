// The pieces of evaluate(): every one a pass or two over the pixels, counting in whole
// numbers, so results do not depend on the order of anything but the pixels.
#include "evaluation.h"

#include <algorithm>
#include <limits>

namespace segmora::evaluation {

namespace {

// Labels spread over at most this many numbers per pixel are renumbered through a table
// indexed by the label; wider ones through a sorted list.
constexpr int64_t kTableSpreadPerPixel = 4;
constexpr int64_t kTableSpreadMinimum = 1 << 16;

void lookUpInTable(const cv::Mat_<int>& labels, int lowest, int64_t spread, DenseLabels& d) {
    std::vector<int> table(static_cast<size_t>(spread), -1);
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels[y];
        for (int x = 0; x < labels.cols; ++x) table[int64_t{row[x]} - lowest] = 0;
    }
    for (int& entry : table) {
        if (entry == 0) entry = d.count++;
    }
    if (lowest <= 0 && int64_t{0} - lowest < spread) d.zeroId = table[-int64_t{lowest}];
    size_t i = 0;
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels[y];
        for (int x = 0; x < labels.cols; ++x) d.id[i++] = table[int64_t{row[x]} - lowest];
    }
}

void lookUpInList(const cv::Mat_<int>& labels, DenseLabels& d) {
    std::vector<int> values;
    values.reserve(labels.total());
    for (int y = 0; y < labels.rows; ++y)
        values.insert(values.end(), labels[y], labels[y] + labels.cols);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    d.count = static_cast<int>(values.size());
    const auto zero = std::lower_bound(values.begin(), values.end(), 0);
    if (zero != values.end() && *zero == 0) d.zeroId = static_cast<int>(zero - values.begin());
    size_t i = 0;
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels[y];
        for (int x = 0; x < labels.cols; ++x) {
            d.id[i++] = static_cast<int>(std::lower_bound(values.begin(), values.end(), row[x]) -
                                         values.begin());
        }
    }
}

}  // namespace

DenseLabels denseLabels(const cv::Mat_<int>& labels) {
    DenseLabels d;
    d.id.resize(labels.total());
    if (labels.empty()) return d;
    double lowest = 0, highest = 0;
    cv::minMaxLoc(labels, &lowest, &highest);
    const int64_t spread = static_cast<int64_t>(highest) - static_cast<int64_t>(lowest) + 1;
    const int64_t limit =
        std::max<int64_t>(kTableSpreadMinimum, kTableSpreadPerPixel * int64_t(labels.total()));
    if (spread <= limit) {
        lookUpInTable(labels, static_cast<int>(lowest), spread, d);
    } else {
        lookUpInList(labels, d);
    }
    return d;
}

std::vector<uint8_t> boundaryPixels(const cv::Mat_<int>& labels) {
    const int rows = labels.rows, columns = labels.cols;
    std::vector<uint8_t> boundary(labels.total(), 0);
    for (int y = 0; y < rows; ++y) {
        const int* row = labels[y];
        const int* below = y + 1 < rows ? labels[y + 1] : nullptr;
        uint8_t* mark = boundary.data() + size_t(y) * columns;
        for (int x = 0; x < columns; ++x) {
            if (x + 1 < columns && row[x + 1] != row[x]) mark[x] = mark[x + 1] = 1;
            if (below != nullptr && below[x] != row[x]) mark[x] = mark[x + columns] = 1;
        }
    }
    return boundary;
}

BoundaryTable::BoundaryTable(const std::vector<uint8_t>& boundary, int rows, int columns,
                             int tolerance)
    : rows(rows),
      columns(columns),
      radius(std::min(tolerance, std::max(rows, columns))),
      sums((size_t(rows) + 1) * (size_t(columns) + 1), 0) {
    const size_t stride = size_t(columns) + 1;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* mark = boundary.data() + size_t(y) * columns;
        const int32_t* above = sums.data() + size_t(y) * stride;
        int32_t* row = sums.data() + (size_t(y) + 1) * stride;
        int32_t inRow = 0;
        for (int x = 0; x < columns; ++x) {
            inRow += mark[x];
            row[x + 1] = above[x + 1] + inRow;
        }
    }
}

bool BoundaryTable::near(int y, int x) const {
    const size_t stride = size_t(columns) + 1;
    const size_t y0 = size_t(std::max(0, y - radius)), y1 = size_t(std::min(rows, y + radius + 1));
    const size_t x0 = size_t(std::max(0, x - radius)),
                 x1 = size_t(std::min(columns, x + radius + 1));
    return sums[y1 * stride + x1] - sums[y0 * stride + x1] - sums[y1 * stride + x0] +
               sums[y0 * stride + x0] >
           0;
}

Matches matchBoundaries(const std::vector<uint8_t>& from, const BoundaryTable& table, int rows,
                        int columns, const std::vector<uint8_t>& counted) {
    Matches m;
    size_t i = 0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x, ++i) {
            if (from[i] == 0 || (!counted.empty() && counted[i] == 0)) continue;
            ++m.total;
            if (table.near(y, x)) ++m.matched;
        }
    }
    return m;
}

std::vector<Overlap> overlaps(const std::vector<int>& sIds, int sCount,
                              const std::vector<int>& gIds, int gCount, int skipG) {
    // The truth ids of the pixels, sorted by superpixel (a counting sort).
    std::vector<int64_t> start(size_t(sCount) + 1, 0);
    for (size_t i = 0; i < sIds.size(); ++i) {
        if (gIds[i] != skipG) ++start[size_t(sIds[i]) + 1];
    }
    for (int s = 0; s < sCount; ++s) start[size_t(s) + 1] += start[size_t(s)];
    std::vector<int> gBySuperpixel(size_t(start[size_t(sCount)]));
    std::vector<int64_t> next(start.begin(), start.end() - 1);
    for (size_t i = 0; i < sIds.size(); ++i) {
        if (gIds[i] != skipG) gBySuperpixel[size_t(next[size_t(sIds[i])]++)] = gIds[i];
    }
    std::vector<Overlap> result;
    std::vector<int64_t> shared(size_t(gCount), 0);
    std::vector<int> touched;
    for (int s = 0; s < sCount; ++s) {
        touched.clear();
        for (int64_t k = start[size_t(s)]; k < start[size_t(s) + 1]; ++k) {
            const int g = gBySuperpixel[size_t(k)];
            if (shared[size_t(g)]++ == 0) touched.push_back(g);
        }
        std::sort(touched.begin(), touched.end());
        for (const int g : touched) {
            result.push_back(Overlap{s, g, shared[size_t(g)]});
            shared[size_t(g)] = 0;
        }
    }
    return result;
}

}  // namespace segmora::evaluation
