// How the sweep's picture joins its points: settings that differ in one knob only, the knob
// varied last, lie on one line, in the order of that knob's values; each point is labelled
// with the values of the knobs the sweep varies.
#pragma once

#include <string>
#include <vector>

#include "sweep_table.h"

namespace segmora {

struct PlotSeries {
    std::string name;              // the other varied knobs' values, "cap divisor 200"; "" if none
    std::vector<size_t> settings;  // indices into the summaries, in order of the line's knob
};

struct PlotLayout {
    std::vector<int> varied;           // the knobs (0 threshold, 1 sigma, 2 cap divisor,
                                       // 3 min size, 4 count asked) with more than one
                                       // value, in that order
    std::string labelKey;              // what the point labels say: "threshold / cap divisor"
    std::vector<std::string> labels;   // one per summary: "300 / 2000"
    std::vector<PlotSeries> series;    // one line each
};

PlotLayout layoutOf(const std::vector<SettingSummary>& summaries);

// A knob's name as the picture writes it ("cap divisor") and a value of it ("2000").
std::string knobWords(int knob);
std::string knobValueText(const Parameters& p, int knob);

}  // namespace segmora
