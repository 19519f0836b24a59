#include "label_invariants.h"

#include <vector>

#include "reference_rules.h"

namespace segmora {

namespace {

std::string at(int y, int x) {
    return " at (" + std::to_string(y) + ", " + std::to_string(x) + ")";
}

std::string numberingViolation(const cv::Mat_<int>& labels, int segmentCount) {
    int highest = 0;
    for (int y = 0; y < labels.rows; ++y) {
        for (int x = 0; x < labels.cols; ++x) {
            const int label = labels(y, x);
            if (label < 1 || label > highest + 1)
                return "label " + std::to_string(label) + at(y, x);
            if (label == highest + 1) highest = label;
        }
    }
    if (highest != segmentCount) {
        return "highest label " + std::to_string(highest) + " but count " +
               std::to_string(segmentCount);
    }
    return "";
}

// Size of the 8-connected component of equal labels around (y, x); marks it.
int floodFill(const cv::Mat_<int>& labels, std::vector<char>& seen, int y, int x) {
    const int label = labels(y, x);
    std::vector<int> stack{y * labels.cols + x};
    seen[stack.back()] = 1;
    int size = 0;
    while (!stack.empty()) {
        const int v = stack.back();
        stack.pop_back();
        ++size;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int ny = v / labels.cols + dy, nx = v % labels.cols + dx;
                if (ny < 0 || nx < 0 || ny >= labels.rows || nx >= labels.cols) continue;
                const int n = ny * labels.cols + nx;
                if (!seen[n] && labels(ny, nx) == label) {
                    seen[n] = 1;
                    stack.push_back(n);
                }
            }
        }
    }
    return size;
}

}  // namespace

std::string labelMapViolation(const cv::Mat_<int>& labels, int segmentCount) {
    if (labels.empty()) return segmentCount == 0 ? "" : "empty map with a non-zero count";
    std::string numbering = numberingViolation(labels, segmentCount);
    if (!numbering.empty()) return numbering;
    const bool tiny = labels.total() < static_cast<size_t>(kReferenceMinSize);
    std::vector<char> seen(labels.total(), 0);
    std::vector<char> labelSeen(static_cast<size_t>(segmentCount) + 1, 0);
    for (int y = 0; y < labels.rows; ++y) {
        for (int x = 0; x < labels.cols; ++x) {
            if (seen[y * labels.cols + x]) continue;
            const int label = labels(y, x);
            if (labelSeen[label])
                return "segment " + std::to_string(label) + " is split" + at(y, x);
            labelSeen[label] = 1;
            const int size = floodFill(labels, seen, y, x);
            if (size < kReferenceMinSize && !tiny) {
                return "segment " + std::to_string(label) + " has " + std::to_string(size) +
                       " pixels";
            }
        }
    }
    return "";
}

}  // namespace segmora
