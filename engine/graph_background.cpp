#include "graph_background.h"

#include <stdexcept>
#include <string>

namespace segmora {

namespace {

template <class T>
void dropLast(std::vector<T>& perLabel) {
    if (!perLabel.empty()) perLabel.pop_back();
}

}  // namespace

cv::Mat_<int> backgroundAsLastLabel(const Segmentation& s) {
    if (s.labels.empty() || cv::countNonZero(s.labels) == static_cast<int>(s.labels.total())) {
        return cv::Mat_<int>();
    }
    cv::Mat_<int> labels(s.labels.rows, s.labels.cols);
    for (int y = 0; y < labels.rows; ++y) {
        const int* in = s.labels[y];
        int* out = labels[y];
        for (int x = 0; x < labels.cols; ++x) {
            if (in[x] < 0 || in[x] > s.count) refuseLabel(in[x], y, x, s.count);
            out[x] = in[x] == 0 ? s.count + 1 : in[x];
        }
    }
    return labels;
}

void dropLastLabel(SuperpixelGraph& g) {
    const int last = g.count--;
    for (auto* v : {&g.size}) dropLast(*v);
    for (auto* v : {&g.centroidRow, &g.centroidColumn}) dropLast(*v);
    for (auto* v : {&g.minRow, &g.minColumn, &g.maxRow, &g.maxColumn}) dropLast(*v);
    for (int c = 0; c < 3; ++c) {
        dropLast(g.meanBgr[c]);
        dropLast(g.meanLab[c]);
    }
    // Edges are pairs a < b, so the edges of the last label are those with b = last.
    size_t kept = 0;
    for (size_t e = 0; e < g.edgeB.size(); ++e) {
        if (g.edgeB[e] == last) continue;
        g.edgeA[kept] = g.edgeA[e];
        g.edgeB[kept] = g.edgeB[e];
        g.border[kept] = g.border[e];
        ++kept;
    }
    g.edgeA.resize(kept);
    g.edgeB.resize(kept);
    g.border.resize(kept);
}

void refuseLabel(int label, int y, int x, int count) {
    throw std::invalid_argument("label " + std::to_string(label) + " at row " + std::to_string(y) +
                                ", column " + std::to_string(x) + " is outside 0 .. " +
                                std::to_string(count));
}

}  // namespace segmora
