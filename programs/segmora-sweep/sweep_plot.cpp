#include "sweep_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>
#include <string>

namespace segmora {

namespace {

constexpr int kWidth = 760, kHeight = 500;
constexpr int kLeft = 80, kRight = 600, kTop = 50, kBottom = 430;
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

void text(cv::Mat& picture, const std::string& words, cv::Point at, double scale = 0.45,
          bool centred = false) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(words, kFont, scale, 1, &baseline);
    if (centred) at.x -= size.width / 2;
    cv::putText(picture, words, at, kFont, scale, kBlack, 1, cv::LINE_AA);
}

struct Axes {
    double x0, x1;
    int x(double v) const {
        return kLeft + int(std::lround((v - x0) / (x1 - x0) * (kRight - kLeft)));
    }
    static int y(double v) { return kBottom - int(std::lround(v * (kBottom - kTop))); }
};

Axes drawAxes(cv::Mat& picture, double low, double high) {
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
    text(picture, "mean superpixel count", {(kLeft + kRight) / 2, kBottom + 45}, 0.55, true);
    return axes;
}

void drawSeries(cv::Mat& picture, const Axes& axes, std::vector<cv::Point2d> points,
                const cv::Scalar& colour, bool squares) {
    std::sort(points.begin(), points.end(),
              [](const cv::Point2d& a, const cv::Point2d& b) { return a.x < b.x; });
    std::vector<cv::Point> drawn;
    for (const cv::Point2d& p : points) drawn.emplace_back(axes.x(p.x), Axes::y(p.y));
    for (size_t k = 1; k < drawn.size(); ++k) {
        cv::line(picture, drawn[k - 1], drawn[k], colour, 2, cv::LINE_AA);
    }
    for (const cv::Point& p : drawn) {
        if (squares) {
            cv::rectangle(picture, p - cv::Point(4, 4), p + cv::Point(4, 4), colour, cv::FILLED);
        } else {
            cv::circle(picture, p, 5, colour, cv::FILLED, cv::LINE_AA);
        }
    }
}

void drawLegend(cv::Mat& picture) {
    const int x = kRight + 20;
    cv::circle(picture, {x + 10, kTop + 20}, 5, kBlue, cv::FILLED, cv::LINE_AA);
    text(picture, "boundary recall", {x + 24, kTop + 25});
    cv::rectangle(picture, {x + 6, kTop + 46}, {x + 14, kTop + 54}, kRed, cv::FILLED);
    text(picture, "underseg. error", {x + 24, kTop + 55});
}

}  // namespace

cv::Mat plotSweep(const std::vector<SettingSummary>& summaries, int tolerance) {
    cv::Mat picture(kHeight, kWidth, CV_8UC3, cv::Scalar(255, 255, 255));
    std::vector<cv::Point2d> recall, error;
    double low = INFINITY, high = -INFINITY;
    for (const SettingSummary& s : summaries) {
        if (s.photos == 0 || std::isnan(s.count)) continue;
        low = std::min(low, s.count);
        high = std::max(high, s.count);
        if (!std::isnan(s.recall)) recall.emplace_back(s.count, std::clamp(s.recall, 0.0, 1.0));
        if (!std::isnan(s.undersegmentation)) {
            error.emplace_back(s.count, std::clamp(s.undersegmentation, 0.0, 1.0));
        }
    }
    if (recall.empty() && error.empty()) low = high = 0;
    const Axes axes = drawAxes(picture, low, high);
    drawSeries(picture, axes, recall, kBlue, false);
    drawSeries(picture, axes, error, kRed, true);
    drawLegend(picture);
    text(
        picture,
        "boundary recall (tolerance " + std::to_string(tolerance) + ") and undersegmentation error",
        {(kLeft + kRight) / 2, kTop - 20}, 0.55, true);
    return picture;
}

}  // namespace segmora
