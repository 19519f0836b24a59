// evaluate(): the superpixel measures of docs/evaluation.md. What depends on the
// segmentation alone (its ids, boundary pixels and their neighbourhood, compactness,
// explained variation) is made once; each truth then costs a renumbering, its boundary
// pixels and their neighbourhood, and the overlap counts.
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "evaluation.h"
#include "segmora/segmora.h"

namespace segmora {

namespace {

using namespace evaluation;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string sizeText(const cv::Mat& m) {
    return std::to_string(m.rows) + " x " + std::to_string(m.cols);
}

void checkInput(const Segmentation& s, const std::vector<cv::Mat_<int>>& truths, const cv::Mat* bgr,
                const EvaluationOptions& options) {
    if (s.labels.dims > 2 || s.labels.empty()) {
        throw std::invalid_argument("labels must be a non-empty two-dimensional matrix");
    }
    if (options.tolerance < 0) {
        throw std::invalid_argument("tolerance must be >= 0, not " +
                                    std::to_string(options.tolerance));
    }
    for (size_t t = 0; t < truths.size(); ++t) {
        if (truths[t].dims > 2 || truths[t].size() != s.labels.size()) {
            throw std::invalid_argument("truth " + std::to_string(t + 1) + " is " +
                                        sizeText(truths[t]) + " but labels are " +
                                        sizeText(s.labels));
        }
    }
    if (bgr == nullptr) return;
    if (bgr->type() != CV_8UC3 || bgr->dims != 2) {
        throw std::invalid_argument("photo must be 8-bit with three channels (CV_8UC3)");
    }
    if (bgr->size() != s.labels.size()) {
        throw std::invalid_argument("photo is " + sizeText(*bgr) + " but labels are " +
                                    sizeText(s.labels));
    }
}

std::vector<int64_t> sizesOf(const DenseLabels& d) {
    std::vector<int64_t> size(size_t(d.count), 0);
    for (const int id : d.id) ++size[size_t(id)];
    return size;
}

// The pixel sides of each superpixel that face another superpixel or the border.
std::vector<int64_t> perimeters(const DenseLabels& d, int rows, int columns) {
    std::vector<int64_t> sides(size_t(d.count), 0);
    for (int y = 0; y < rows; ++y) {
        const int* row = d.id.data() + size_t(y) * columns;
        const int* below = y + 1 < rows ? row + columns : nullptr;
        sides[size_t(row[0])] += 1;
        sides[size_t(row[columns - 1])] += 1;
        for (int x = 0; x < columns; ++x) {
            if (y == 0) ++sides[size_t(row[x])];
            if (below == nullptr) ++sides[size_t(row[x])];
            if (x + 1 < columns && row[x + 1] != row[x]) {
                ++sides[size_t(row[x])];
                ++sides[size_t(row[x + 1])];
            }
            if (below != nullptr && below[x] != row[x]) {
                ++sides[size_t(row[x])];
                ++sides[size_t(below[x])];
            }
        }
    }
    return sides;
}

// Over the superpixels other than `left` (the id of label 0, or -1), whose pixels are left out.
double compactness(const DenseLabels& d, const std::vector<int64_t>& size, int rows, int columns,
                   int left) {
    const std::vector<int64_t> sides = perimeters(d, rows, columns);
    const double pixels = double(d.id.size()) - (left >= 0 ? double(size[size_t(left)]) : 0.0);
    double total = 0;
    for (size_t k = 0; k < size.size(); ++k) {
        if (int(k) == left) continue;
        const double area = double(size[k]), perimeter = double(sides[k]);
        total += (area / pixels) * 4 * M_PI * area / (perimeter * perimeter);
    }
    return total;
}

// With N pixels, sums T and squares Q of a channel, and sums S of it over each superpixel of
// |s| pixels: explained = sum (N S - |s| T)^2 / |s| over N (N Q - T^2). The gaps and the
// spread are exact integers; the sum of the gaps' squares over |s| is a double's.
// The pixels of superpixel `left` (>= 0) are left out.
double explainedVariation(const DenseLabels& d, const std::vector<int64_t>& size,
                          const cv::Mat& bgr, int left) {
    std::vector<uint64_t> sums(size_t(d.count) * 3, 0);
    uint64_t total[3] = {}, squares[3] = {};
    size_t i = 0;
    for (int y = 0; y < bgr.rows; ++y) {
        const uint8_t* pixel = bgr.ptr<uint8_t>(y);
        for (int x = 0; x < bgr.cols; ++x, ++i, pixel += 3) {
            if (d.id[i] == left) continue;
            uint64_t* s = sums.data() + size_t(d.id[i]) * 3;
            for (int c = 0; c < 3; ++c) {
                s[c] += pixel[c];
                total[c] += pixel[c];
                squares[c] += uint64_t{pixel[c]} * pixel[c];
            }
        }
    }
    __extension__ typedef __int128 Wide;  // N Q reaches 2^74
    const Wide n = Wide(d.id.size()) - (left >= 0 ? Wide(size[size_t(left)]) : 0);
    Wide spread = 0;
    for (int c = 0; c < 3; ++c) spread += n * Wide(squares[c]) - Wide(total[c]) * Wide(total[c]);
    if (spread == 0) return kNaN;
    double explained = 0;
    for (size_t k = 0; k < size.size(); ++k) {
        if (int(k) == left) continue;
        for (int c = 0; c < 3; ++c) {
            const double gap = double(n * Wide(sums[k * 3 + c]) - Wide(size[k]) * Wide(total[c]));
            explained += gap * gap / double(size[k]);
        }
    }
    return explained / (double(n) * double(spread));
}

// What the segmentation brings to every truth.
struct Superpixels {
    int rows, columns;
    DenseLabels ids;
    std::vector<uint8_t> boundary;
    std::vector<uint8_t> near;  // within the tolerance of a boundary pixel
    // 1 where the segmentation's label is not 0, when some label is 0; empty otherwise.
    std::vector<uint8_t> inside;
};

// The segmentation's label-0 pixels (outside a mask) as a map, empty when there are none.
std::vector<uint8_t> insidePixels(const DenseLabels& d) {
    if (d.zeroId < 0) return {};
    std::vector<uint8_t> inside(d.id.size());
    for (size_t i = 0; i < inside.size(); ++i) inside[i] = d.id[i] != d.zeroId;
    return inside;
}

// The boundary pixels of the segmentation when some labels are 0: the pixels of other labels
// with a 4-neighbour of a third label; the edge of the 0 pixels is no boundary.
std::vector<uint8_t> insideBoundary(const cv::Mat_<int>& labels) {
    std::vector<uint8_t> boundary(labels.total(), 0);
    for (int y = 0; y < labels.rows; ++y) {
        for (int x = 0; x < labels.cols; ++x) {
            const int own = labels(y, x);
            if (own == 0) continue;
            const auto differs = [&](int v, int u) {
                return v >= 0 && u >= 0 && v < labels.rows && u < labels.cols &&
                       labels(v, u) != own && labels(v, u) != 0;
            };
            boundary[size_t(y) * labels.cols + x] =
                differs(y - 1, x) || differs(y + 1, x) || differs(y, x - 1) || differs(y, x + 1);
        }
    }
    return boundary;
}

struct TruthScores {
    double recall, precision, undersegmentation, accuracy;
};

double fractionOr(const Matches& m, double none) {
    return m.total == 0 ? none : double(m.matched) / double(m.total);
}

TruthScores scoreTruth(const Superpixels& sp, const cv::Mat_<int>& truth,
                       const EvaluationOptions& options) {
    DenseLabels g = denseLabels(truth);
    int skip = options.ignoreZero ? g.zeroId : -1;
    if (!sp.inside.empty()) {  // the truth's pixels outside join those skipped, as one more id
        const int left = g.count++;
        for (size_t i = 0; i < g.id.size(); ++i) {
            if (!sp.inside[i] || g.id[i] == skip) g.id[i] = left;
        }
        skip = left;
    }
    std::vector<uint8_t> boundary = boundaryPixels(truth);
    std::vector<uint8_t> labelled;
    if (skip >= 0) {
        labelled.resize(g.id.size());
        for (size_t i = 0; i < g.id.size(); ++i) {
            labelled[i] = g.id[i] != skip;
            boundary[i] &= labelled[i];
        }
    }
    TruthScores scores;
    scores.recall = fractionOr(matchBoundaries(boundary, sp.near, {}), 1);
    const std::vector<uint8_t> near =
        nearBoundary(boundary, sp.rows, sp.columns, options.tolerance);
    scores.precision = fractionOr(matchBoundaries(sp.boundary, near, labelled), 1);

    const std::vector<Overlap> shared = overlaps(sp.ids.id, sp.ids.count, g.id, g.count, skip);
    std::vector<int64_t> inside(size_t(sp.ids.count), 0), largest(size_t(sp.ids.count), 0);
    for (const Overlap& o : shared) {
        inside[size_t(o.s)] += o.pixels;
        largest[size_t(o.s)] = std::max(largest[size_t(o.s)], o.pixels);
    }
    int64_t pixels = 0, leak = 0, best = 0;
    for (const Overlap& o : shared) leak += std::min(o.pixels, inside[size_t(o.s)] - o.pixels);
    for (size_t k = 0; k < inside.size(); ++k) {
        pixels += inside[k];
        best += largest[k];
    }
    scores.undersegmentation = pixels == 0 ? kNaN : double(leak) / double(pixels);
    scores.accuracy = pixels == 0 ? kNaN : double(best) / double(pixels);
    return scores;
}

Evaluation evaluateWith(const Segmentation& s, const std::vector<cv::Mat_<int>>& truths,
                        const cv::Mat* bgr, const EvaluationOptions& options) {
    checkInput(s, truths, bgr, options);
    const int rows = s.labels.rows, columns = s.labels.cols;
    DenseLabels ids = denseLabels(s.labels);
    std::vector<uint8_t> inside = insidePixels(ids);
    std::vector<uint8_t> boundary =
        inside.empty() ? boundaryPixels(s.labels) : insideBoundary(s.labels);
    std::vector<uint8_t> near = nearBoundary(boundary, rows, columns, options.tolerance);
    const Superpixels sp{
        rows, columns, std::move(ids), std::move(boundary), std::move(near), std::move(inside)};
    const std::vector<int64_t> size = sizesOf(sp.ids);
    const int left = sp.ids.zeroId;  // label 0: left out of every measure

    Evaluation e;
    e.count = sp.ids.count - (left >= 0 ? 1 : 0);
    e.truths = int(truths.size());
    e.compactness = compactness(sp.ids, size, rows, columns, left);
    e.explainedVariation = bgr != nullptr ? explainedVariation(sp.ids, size, *bgr, left) : kNaN;
    if (truths.empty()) return e;
    TruthScores sum{0, 0, 0, 0};
    for (const cv::Mat_<int>& truth : truths) {
        const TruthScores t = scoreTruth(sp, truth, options);
        sum.recall += t.recall;
        sum.precision += t.precision;
        sum.undersegmentation += t.undersegmentation;
        sum.accuracy += t.accuracy;
    }
    const double n = double(truths.size());
    e.boundaryRecall = sum.recall / n;
    e.boundaryPrecision = sum.precision / n;
    e.undersegmentationError = sum.undersegmentation / n;
    e.achievableAccuracy = sum.accuracy / n;
    return e;
}

}  // namespace

Evaluation evaluate(const Segmentation& s, const std::vector<cv::Mat_<int>>& truths,
                    const cv::Mat& bgr, const EvaluationOptions& options) {
    return evaluateWith(s, truths, &bgr, options);
}

Evaluation evaluate(const Segmentation& s, const std::vector<cv::Mat_<int>>& truths,
                    const EvaluationOptions& options) {
    return evaluateWith(s, truths, nullptr, options);
}

}  // namespace segmora
