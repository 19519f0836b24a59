#include "boundary_drawing.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace segmora {

namespace {

// True where the right or lower neighbour of (y, x) holds another value; with `bothSides`
// also the left or upper one.
bool changesAt(const cv::Mat_<int>& ids, int y, int x, bool bothSides) {
    const int id = ids(y, x);
    return (x + 1 < ids.cols && ids(y, x + 1) != id) || (y + 1 < ids.rows && ids(y + 1, x) != id) ||
           (bothSides && ((x > 0 && ids(y, x - 1) != id) || (y > 0 && ids(y - 1, x) != id)));
}

}  // namespace

cv::Mat_<cv::Vec3b> withSpareRow(int rows, int cols) {
    cv::Mat_<cv::Vec3b> buffer(rows + 1, cols);
    buffer.row(rows).setTo(cv::Scalar::all(0));
    return buffer.rowRange(0, rows);
}

cv::Mat_<cv::Vec3b> drawBoundaries(const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                                   const cv::Mat_<int>* regions, const BoundaryStyle& style) {
    if (labels.size() != photo.size() || (regions != nullptr && regions->size() != photo.size())) {
        throw std::invalid_argument("drawBoundaries: photo, labels and regions differ in size");
    }
    cv::Mat_<cv::Vec3b> picture = withSpareRow(photo.rows, photo.cols);
    photo.copyTo(picture);
    const bool thick = style.mode == BoundaryMode::Thick;
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            if (regions != nullptr && changesAt(*regions, y, x, thick)) {
                picture(y, x) = style.regionColour;
            } else if (changesAt(labels, y, x, thick)) {
                picture(y, x) = style.segmentColour;
            }
        }
    }
    return picture;
}

cv::Mat_<cv::Vec3b> meanColourPicture(const cv::Mat_<int>& labels, const SuperpixelGraph& graph) {
    const auto count = static_cast<size_t>(graph.count);
    for (const auto& channel : graph.meanBgr) {
        if (channel.size() != count) {
            throw std::invalid_argument("meanColourPicture: the graph has no mean colours");
        }
    }
    std::vector<cv::Vec3b> colour(count);
    for (size_t k = 0; k < count; ++k) {
        for (int c = 0; c < 3; ++c) {
            const double mean = graph.meanBgr[c][k];  // NaN: a label no pixel carries
            colour[k][c] = std::isnan(mean) ? 0 : static_cast<uint8_t>(mean + 0.5);
        }
    }
    cv::Mat_<cv::Vec3b> picture = withSpareRow(labels.rows, labels.cols);
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels[y];
        cv::Vec3b* out = picture[y];
        for (int x = 0; x < labels.cols; ++x) {
            if (row[x] < 1 || static_cast<size_t>(row[x]) > count) {
                throw std::invalid_argument("meanColourPicture: label " + std::to_string(row[x]) +
                                            " is outside the graph");
            }
            out[x] = colour[static_cast<size_t>(row[x]) - 1];
        }
    }
    return picture;
}

}  // namespace segmora
