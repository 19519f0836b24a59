// describe() on small label maps, counts and photos. Each run checks that
//  - it refuses exactly the maps with a label outside 0 .. count (0 is background),
//  - sizes, boxes and centroids agree with a pixel-by-pixel count,
//  - the edges are the label pairs of neighbouring pixels, sorted, with their pair counts,
//    none to background,
//  - the mean colours lie within the colours of their pixels.
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

#include "fuzz_data.h"
#include "segmora/segmora.h"

namespace {

using segmora::fuzz::check;
using segmora::fuzz::FuzzData;

void checkGraph(const segmora::Segmentation& s, const segmora::SuperpixelGraph& g, bool colours) {
    const cv::Mat_<int>& labels = s.labels;
    std::vector<int64_t> size(s.count, 0);
    std::map<std::pair<int, int>, int64_t> pairs;
    for (int y = 0; y < labels.rows; ++y) {
        for (int x = 0; x < labels.cols; ++x) {
            const int a = labels(y, x);
            if (a == 0) continue;
            ++size[a - 1];
            check(g.minRow[a - 1] <= y && y <= g.maxRow[a - 1], "row outside the box");
            check(g.minColumn[a - 1] <= x && x <= g.maxColumn[a - 1], "column outside the box");
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int v = y + dy, u = x + dx;
                    if (v >= 0 && u >= 0 && v < labels.rows && u < labels.cols && a < labels(v, u))
                        ++pairs[{a, labels(v, u)}];
                }
            }
        }
    }
    check(g.size == size, "sizes differ");
    for (int k = 0; k < s.count; ++k) {
        if (size[k] == 0) {
            check(std::isnan(g.centroidRow[k]) && g.maxRow[k] == -1, "an empty label has a place");
            continue;
        }
        check(g.centroidRow[k] >= g.minRow[k] && g.centroidRow[k] <= g.maxRow[k] &&
                  g.centroidColumn[k] >= g.minColumn[k] && g.centroidColumn[k] <= g.maxColumn[k],
              "centroid outside the box");
        for (int c = 0; c < 3 && colours; ++c)
            check(g.meanBgr[c][k] >= 0 && g.meanBgr[c][k] <= 255, "mean colour out of range");
    }
    check(g.edgeA.size() == pairs.size() && g.border.size() == pairs.size(), "edge count");
    size_t e = 0;
    for (const auto& [pair, border] : pairs) {
        check(g.edgeA[e] == pair.first && g.edgeB[e] == pair.second && g.border[e] == border,
              "edge differs");
        ++e;
    }
    check(g.meanBgr[0].size() == (colours ? size.size() : 0), "colours");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzData in(data, size);
    const int rows = in.below(13), cols = in.below(13);
    segmora::Segmentation s{cv::Mat_<int>(rows, cols), in.below(24)};
    const int kind = in.below(4);  // 0: labels anywhere, else runs of labels in range
    bool inRange = true;
    int current = 1;
    for (int& label : s.labels) {
        if (kind == 0) {
            label = in.below(s.count + 3) - 1;
        } else if (in.below(4) == 0) {
            current = 1 + in.below(std::max(1, s.count));
        }
        if (kind != 0) label = current;
        inRange = inRange && label >= 0 && label <= s.count;
    }
    const bool colours = in.below(2) == 1;
    cv::Mat photo(rows, cols, CV_8UC3);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols * 3; ++x) photo.ptr<uint8_t>(y)[x] = in.byte();
    }
    try {
        const segmora::SuperpixelGraph g =
            colours ? segmora::describe(s, photo) : segmora::describe(s);
        check(inRange, "a label outside 0 .. count was accepted");
        checkGraph(s, g, colours);
    } catch (const std::invalid_argument&) {
        check(!inRange, "labels in range were refused");
    }
    return 0;
}
