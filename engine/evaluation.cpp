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
        const int* above = y > 0 ? labels[y - 1] : row;
        const int* below = y + 1 < rows ? labels[y + 1] : row;
        uint8_t* mark = boundary.data() + size_t(y) * columns;
        for (int x = 0; x < columns; ++x) mark[x] = (above[x] != row[x]) | (below[x] != row[x]);
        for (int x = 1; x < columns; ++x) mark[x] |= row[x - 1] != row[x];
        for (int x = 0; x + 1 < columns; ++x) mark[x] |= row[x + 1] != row[x];
    }
    return boundary;
}

namespace {

// Up to this tolerance the neighbourhood is the union of shifted rows; beyond it, sliding
// sums, whose cost does not grow with the tolerance.
constexpr int kShiftedRowsUpTo = 8;

// out[x] = 1 when in[x - r .. x + r] holds a 1.
void nearAlongRow(const uint8_t* in, uint8_t* out, size_t width, int r, int32_t* sums) {
    if (r <= kShiftedRowsUpTo) {
        std::copy(in, in + width, out);
        for (size_t d = 1; d <= size_t(r) && d < width; ++d) {
            for (size_t x = 0; x + d < width; ++x) out[x] |= in[x + d];
            for (size_t x = d; x < width; ++x) out[x] |= in[x - d];
        }
        return;
    }
    sums[0] = 0;
    for (size_t x = 0; x < width; ++x) sums[x + 1] = sums[x] + in[x];
    for (size_t x = 0; x < width; ++x) {
        const size_t from = x >= size_t(r) ? x - r : 0, to = std::min(width, x + r + 1);
        out[x] = sums[to] > sums[from];
    }
}

}  // namespace

std::vector<uint8_t> nearBoundary(const std::vector<uint8_t>& boundary, int rows, int columns,
                                  int tolerance) {
    const int r = std::min(tolerance, std::max(rows, columns));
    const size_t width = size_t(columns);
    std::vector<uint8_t> across(boundary.size());
    std::vector<int32_t> sums(width + 1);
    for (int y = 0; y < rows; ++y) {
        const size_t at = size_t(y) * width;
        nearAlongRow(boundary.data() + at, across.data() + at, width, r, sums.data());
    }
    // Down the columns: the rows y - r .. y + r of the row results.
    std::vector<uint8_t> near(boundary.size());
    const auto row = [&](int y) { return across.data() + size_t(y) * width; };
    if (r <= kShiftedRowsUpTo) {
        for (int y = 0; y < rows; ++y) {
            uint8_t* out = near.data() + size_t(y) * width;
            std::copy(row(y), row(y) + width, out);
            for (int v = std::max(0, y - r); v <= std::min(rows - 1, y + r); ++v) {
                const uint8_t* in = row(v);
                for (size_t x = 0; x < width; ++x) out[x] |= in[x];
            }
        }
        return near;
    }
    std::vector<int32_t> window(width, 0);
    const auto addRow = [&](int y, int32_t sign) {
        for (size_t x = 0; x < width; ++x) window[x] += sign * row(y)[x];
    };
    for (int y = 0; y < std::min(rows, r); ++y) addRow(y, 1);
    for (int y = 0; y < rows; ++y) {
        if (y + r < rows) addRow(y + r, 1);
        if (y - r - 1 >= 0) addRow(y - r - 1, -1);
        uint8_t* out = near.data() + size_t(y) * width;
        for (size_t x = 0; x < width; ++x) out[x] = window[x] > 0;
    }
    return near;
}

Matches matchBoundaries(const std::vector<uint8_t>& from, const std::vector<uint8_t>& near,
                        const std::vector<uint8_t>& counted) {
    Matches m;
    const size_t n = from.size();
    const uint8_t* f = from.data();
    const uint8_t* q = near.data();
    // Sums of bytes in blocks small enough for 32-bit counters, so the loops vectorise.
    constexpr size_t kBlock = size_t{1} << 20;
    for (size_t start = 0; start < n; start += kBlock) {
        const size_t end = std::min(n, start + kBlock);
        uint32_t total = 0, matched = 0;
        if (counted.empty()) {
            for (size_t i = start; i < end; ++i) {
                total += f[i];
                matched += f[i] & q[i];
            }
        } else {
            const uint8_t* c = counted.data();
            for (size_t i = start; i < end; ++i) {
                total += f[i] & c[i];
                matched += f[i] & c[i] & q[i];
            }
        }
        m.total += total;
        m.matched += matched;
    }
    return m;
}

namespace {

// Pairs counted in a table of every (s, g), a run of equal pairs at a time; entries in the
// order their pairs first appear.
std::vector<Overlap> tableOverlaps(const std::vector<int>& sIds, const std::vector<int>& gIds,
                                   int gCount, size_t cells, int skipG) {
    std::vector<int32_t> shared(cells, 0);
    std::vector<size_t> touched;
    const auto add = [&](int s, int g, int32_t pixels) {
        if (g == skipG) return;
        const size_t cell = size_t(s) * size_t(gCount) + size_t(g);
        if (shared[cell] == 0) touched.push_back(cell);
        shared[cell] += pixels;
    };
    const size_t n = sIds.size();
    size_t start = 0;
    for (size_t i = 1; i <= n; ++i) {
        if (i < n && sIds[i] == sIds[start] && gIds[i] == gIds[start]) continue;
        add(sIds[start], gIds[start], int32_t(i - start));
        start = i;
    }
    std::vector<Overlap> result;
    result.reserve(touched.size());
    for (const size_t cell : touched) {
        result.push_back(
            Overlap{int(cell / size_t(gCount)), int(cell % size_t(gCount)), shared[cell]});
    }
    return result;
}

// Pairs of maps with too many ids for a table: the truth ids sorted by superpixel (a
// counting sort), then counted one superpixel at a time.
std::vector<Overlap> sortedOverlaps(const std::vector<int>& sIds, int sCount,
                                    const std::vector<int>& gIds, int gCount, int skipG) {
    std::vector<int64_t> start(size_t(sCount) + 1, 0);
    for (size_t i = 0; i < sIds.size(); ++i) {
        if (gIds[i] != skipG) ++start[size_t(sIds[i]) + 1];
    }
    for (int s = 0; s < sCount; ++s) start[size_t(s) + 1] += start[size_t(s)];
    std::vector<int> gBySuperpixel(static_cast<size_t>(start[size_t(sCount)]));
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

}  // namespace

std::vector<Overlap> overlaps(const std::vector<int>& sIds, int sCount,
                              const std::vector<int>& gIds, int gCount, int skipG) {
    const size_t cells = size_t(sCount) * size_t(gCount);
    if (cells <= std::max<size_t>(kTableSpreadMinimum, 2 * sIds.size())) {
        return tableOverlaps(sIds, gIds, gCount, cells, skipG);
    }
    return sortedOverlaps(sIds, sCount, gIds, gCount, skipG);
}

}  // namespace segmora::evaluation
