#include "sweep_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>
#include <string>

#include "sweep_series.h"

namespace segmora {

namespace {

constexpr int kWidth = 900, kHeight = 560;
constexpr int kLeft = 80, kRight = 640, kTop = 70, kBottom = 470;
const cv::Scalar kBlack(0, 0, 0), kGrey(215, 215, 215), kBlue(180, 90, 20), kRed(40, 40, 200);
constexpr int kFont = cv::FONT_HERSHEY_SIMPLEX;

// A step of 1, 2 or 5 times a power of ten that cuts `span` into about five parts.
double tickStep(double span) {
    const double raw = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) return m * power;
    }
    return 10 * power;
}

std::string tickText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

cv::Rect text(cv::Mat& picture, const std::string& words, cv::Point at, double scale = 0.45,
              bool centred = false, const cv::Scalar& colour = kBlack) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(words, kFont, scale, 1, &baseline);
    if (centred) at.x -= size.width / 2;
    cv::putText(picture, words, at, kFont, scale, colour, 1, cv::LINE_AA);
    return cv::Rect(at.x, at.y - size.height, size.width, size.height + baseline);
}

struct Axes {
    double x0, x1;
    int x(double v) const {
        return kLeft + int(std::lround((v - x0) / (x1 - x0) * (kRight - kLeft)));
    }
    static int y(double v) { return kBottom - int(std::lround(v * (kBottom - kTop))); }
};

// `asked`: the counts were asked for, so each photo has exactly the count on the axis.
Axes drawAxes(cv::Mat& picture, double low, double high, bool asked) {
    if (!(high > low)) {
        low = std::max(0.0, low - 1);
        high = low + 2;
    }
    const double step = tickStep(high - low);
    const Axes axes{std::floor(low / step) * step, std::ceil(high / step) * step};
    for (double v = axes.x0; v <= axes.x1 + step / 2; v += step) {
        const int x = axes.x(v);
        cv::line(picture, {x, kTop}, {x, kBottom}, kGrey);
        cv::line(picture, {x, kBottom}, {x, kBottom + 5}, kBlack);
        text(picture, tickText(v), {x, kBottom + 20}, 0.45, true);
    }
    for (int k = 0; k <= 5; ++k) {
        const int y = Axes::y(k / 5.0);
        cv::line(picture, {kLeft, y}, {kRight, y}, kGrey);
        cv::line(picture, {kLeft - 5, y}, {kLeft, y}, kBlack);
        text(picture, tickText(k / 5.0), {kLeft - 40, y + 5});
    }
    cv::rectangle(picture, {kLeft, kTop}, {kRight, kBottom}, kBlack);
    text(picture,
         asked ? "superpixel count asked for (exactly that many in every photo)"
               : "mean superpixel count (superpixels per photo)",
         {(kLeft + kRight) / 2, kBottom + 45}, 0.55, true);
    text(picture, "score (0 to 1)", {kLeft - 60, kTop - 12}, 0.5);
    return axes;
}

// A measure's colour, lighter for each further line so that lines can be told apart.
cv::Scalar shadeOf(const cv::Scalar& colour, size_t line) {
    const double light = 0.28 * double(line % 3);
    return colour * (1 - light) + cv::Scalar(255, 255, 255) * light;
}

// One measure's points (NaN left out), a line through those of each series.
void drawMeasure(cv::Mat& picture, const Axes& axes, const PlotLayout& layout,
                 const std::vector<cv::Point2d>& values, const cv::Scalar& colour, bool squares) {
    for (size_t line = 0; line < layout.series.size(); ++line) {
        const cv::Scalar shade = shadeOf(colour, line);
        std::vector<cv::Point> drawn;
        for (const size_t k : layout.series[line].settings) {
            if (std::isnan(values[k].y)) continue;
            drawn.emplace_back(axes.x(values[k].x), Axes::y(values[k].y));
        }
        for (size_t k = 1; k < drawn.size(); ++k)
            cv::line(picture, drawn[k - 1], drawn[k], shade, 2, cv::LINE_AA);
        for (const cv::Point& p : drawn) {
            if (squares) {
                cv::rectangle(picture, p - cv::Point(4, 4), p + cv::Point(4, 4), shade, cv::FILLED);
            } else {
                cv::circle(picture, p, 5, shade, cv::FILLED, cv::LINE_AA);
            }
        }
    }
}

// Each point's label beside it, moved down a step while it would cover a label already
// placed (points of close counts overlap otherwise).
void drawLabels(cv::Mat& picture, const Axes& axes, const PlotLayout& layout,
                const std::vector<cv::Point2d>& points) {
    std::vector<cv::Rect> placed;
    for (size_t k = 0; k < points.size(); ++k) {
        if (std::isnan(points[k].y) || layout.labels[k].empty()) continue;
        int baseline = 0;
        const cv::Size size = cv::getTextSize(layout.labels[k], kFont, 0.38, 1, &baseline);
        cv::Point at(axes.x(points[k].x) + 7, Axes::y(points[k].y) - 7);
        const auto covers = [&](const cv::Point& p) {
            const cv::Rect box(p.x, p.y - size.height, size.width, size.height + baseline);
            return std::any_of(placed.begin(), placed.end(),
                               [&](const cv::Rect& r) { return (r & box).area() > 0; });
        };
        for (int step = 0; step < 12 && covers(at); ++step) at.y += size.height + 3;
        placed.push_back(text(picture, layout.labels[k], at, 0.38));
    }
}

void drawLegend(cv::Mat& picture, const PlotLayout& layout) {
    const int x = kRight + 20;
    int y = kTop + 20;
    cv::circle(picture, {x + 10, y}, 5, kBlue, cv::FILLED, cv::LINE_AA);
    text(picture, "boundary recall", {x + 24, y + 5});
    y += 30;
    cv::rectangle(picture, {x + 6, y - 4}, {x + 14, y + 4}, kRed, cv::FILLED);
    text(picture, "undersegmentation error", {x + 24, y + 5});
    y += 35;
    if (!layout.labelKey.empty()) {
        text(picture, "points: " + layout.labelKey, {x, y});
        y += 30;
    }
    if (layout.series.size() < 2) return;
    text(picture, "lines, lighter in turn:", {x, y});
    for (size_t line = 0; line < layout.series.size() && line < 8; ++line) {
        y += 22;
        cv::line(picture, {x, y - 4}, {x + 18, y - 4}, shadeOf(kBlue, line), 2, cv::LINE_AA);
        text(picture, layout.series[line].name, {x + 24, y}, 0.4);
    }
    if (layout.series.size() > 8) text(picture, "...", {x + 24, y + 22}, 0.4);
}

}  // namespace

cv::Mat plotSweep(const std::vector<SettingSummary>& summaries, int tolerance,
                  const std::string& partial) {
    cv::Mat picture(kHeight, kWidth, CV_8UC3, cv::Scalar(255, 255, 255));
    const PlotLayout layout = layoutOf(summaries);
    std::vector<cv::Point2d> recall, error;
    double low = INFINITY, high = -INFINITY;
    for (const SettingSummary& s : summaries) {
        const bool shown = s.photos > 0 && !std::isnan(s.count);
        if (shown) {
            low = std::min(low, s.count);
            high = std::max(high, s.count);
        }
        recall.emplace_back(s.count, shown ? std::clamp(s.recall, 0.0, 1.0) : NAN);
        error.emplace_back(s.count, shown ? std::clamp(s.undersegmentation, 0.0, 1.0) : NAN);
    }
    if (!(low <= high)) low = high = 0;
    const bool asked = !summaries.empty() && summaries.front().setting.count != 0;
    const Axes axes = drawAxes(picture, low, high, asked);
    drawMeasure(picture, axes, layout, recall, kBlue, false);
    drawMeasure(picture, axes, layout, error, kRed, true);
    drawLabels(picture, axes, layout, recall);
    drawLegend(picture, layout);
    text(picture,
         "boundary recall (tolerance " + std::to_string(tolerance) +
             " px) and undersegmentation error",
         {(kLeft + kRight) / 2, kTop - 40}, 0.55, true);
    if (!partial.empty()) {
        text(picture, "PARTIAL: " + partial, {(kLeft + kRight) / 2, kTop - 18}, 0.55, true, kRed);
    }
    return picture;
}

}  // namespace segmora
