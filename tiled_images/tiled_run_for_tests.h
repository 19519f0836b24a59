#pragma once
// The three phases of a tiled run in memory, for the tests: every tile's pixels cut from
// one photo (and region map), the tiles run in a given order (after the flat sweep or not),
// the labels put back together.

#include <algorithm>
#include <opencv2/core.hpp>
#include <sstream>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {

inline cv::Rect cvRect(const TileRect& r) {
    return cv::Rect(static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.width),
                    static_cast<int>(r.height));
}

// An image of that shape in tiles of that shape, default knobs.
inline TiledImage tiledImageOf(int64_t width, int64_t height, int64_t tileWidth,
                               int64_t tileHeight) {
    TiledImage image;
    image.width = width;
    image.height = height;
    image.tileWidth = tileWidth;
    image.tileHeight = tileHeight;
    return image;
}

inline TiledImage tiledImageOf(const cv::Mat& bgr, int tileWidth, int tileHeight,
                               const Parameters& parameters, bool withRegions) {
    TiledImage image;
    image.width = bgr.cols;
    image.height = bgr.rows;
    image.tileWidth = tileWidth;
    image.tileHeight = tileHeight;
    image.parameters = parameters;
    image.withRegions = withRegions;
    return image;
}

// The flat sweep of the whole photo, its rows given `rows` at a time.
inline std::vector<uint8_t> sweepOf(const TiledImage& image, const cv::Mat& bgr,
                                    const cv::Mat_<int>& regions, int rows = 5) {
    FlatSweep sweep(image);
    for (int y = 0; y < bgr.rows; y += rows) {
        const cv::Range band(y, std::min(bgr.rows, y + rows));
        sweep.addRows(bgr.rowRange(band),
                      regions.empty() ? cv::Mat_<int>() : cv::Mat_<int>(regions.rowRange(band)));
    }
    return sweep.finish();
}

// Phase 1 on every tile, in `order` (empty: 0, 1, ...), after the flat sweep when `swept`.
inline std::vector<TileState> firstPhase(const TiledImage& image, const cv::Mat& bgr,
                                         const cv::Mat_<int>& regions,
                                         std::vector<int64_t> order = {}, bool swept = false) {
    const std::vector<uint8_t> sweep =
        swept ? sweepOf(image, bgr, regions) : std::vector<uint8_t>();
    const int64_t tiles = tileCount(image);
    if (order.empty()) {
        for (int64_t t = 0; t < tiles; ++t) order.push_back(t);
    }
    std::vector<TileState> states(static_cast<size_t>(tiles));
    for (const int64_t t : order) {
        const cv::Rect read = cvRect(tileReadRect(image, t));
        const cv::Mat_<int> tileRegions =
            regions.empty() ? cv::Mat_<int>() : cv::Mat_<int>(regions(read));
        states[static_cast<size_t>(t)] = swept
                                             ? segmentTile(image, t, bgr(read), tileRegions, sweep)
                                             : segmentTile(image, t, bgr(read), tileRegions);
    }
    return states;
}

inline TiledJoin joinStates(const TiledImage& image, const std::vector<TileState>& states) {
    return joinTiles(image, [&](int64_t t) {
        const std::vector<uint8_t>& bytes = states[static_cast<size_t>(t)].join;
        return std::make_unique<std::istringstream>(std::string(bytes.begin(), bytes.end()));
    });
}

// The whole run: labels of the image put together from labelTile's.
inline Segmentation tiledLabels(const TiledImage& image, const cv::Mat& bgr,
                                const cv::Mat_<int>& regions, std::vector<int64_t> order = {},
                                bool swept = false) {
    const std::vector<TileState> states = firstPhase(image, bgr, regions, order, swept);
    const TiledJoin join = joinStates(image, states);
    Segmentation result;
    result.count = static_cast<int>(join.count);
    result.labels.create(bgr.rows, bgr.cols);
    for (int64_t t = 0; t < tileCount(image); ++t) {
        const size_t i = static_cast<size_t>(t);
        const TileLabels labels = labelTile(image, t, states[i].labels, join.tables[i], join.count);
        const cv::Rect own = cvRect(tileRect(image, t));
        std::copy(labels.labels32.begin(), labels.labels32.end(),
                  cv::Mat_<int>(result.labels(own)).begin());
    }
    return result;
}

}  // namespace segmora
