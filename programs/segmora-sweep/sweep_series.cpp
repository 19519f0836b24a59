#include "sweep_series.h"

#include <algorithm>
#include <map>

namespace segmora {

namespace {

double knobValue(const Parameters& p, int knob) {
    switch (knob) {
        case 0:
            return p.threshold;
        case 1:
            return p.sigma;
        case 2:
            return p.capDivisor;
        case 3:
            return p.minSize;
        default:
            return p.count;
    }
}

std::string joined(const std::vector<std::string>& parts, const std::string& between) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : between) + part;
    return text;
}

}  // namespace

std::string knobWords(int knob) {
    static const char* const names[] = {"threshold", "sigma", "cap divisor", "min size",
                                         "count asked"};
    return names[knob];
}

std::string knobValueText(const Parameters& p, int knob) {
    return shortestText(knobValue(p, knob));
}

PlotLayout layoutOf(const std::vector<SettingSummary>& summaries) {
    PlotLayout layout;
    for (int knob = 0; knob < 5; ++knob) {
        for (const SettingSummary& s : summaries) {
            if (knobValue(s.setting, knob) != knobValue(summaries.front().setting, knob)) {
                layout.varied.push_back(knob);
                break;
            }
        }
    }
    std::vector<std::string> keys;
    for (const int knob : layout.varied) keys.push_back(knobWords(knob));
    layout.labelKey = joined(keys, " / ");
    // A line per combination of the other varied knobs, along the knob varied last.
    const int along = layout.varied.empty() ? -1 : layout.varied.back();
    std::map<std::string, size_t> seriesOf;
    for (size_t k = 0; k < summaries.size(); ++k) {
        const Parameters& p = summaries[k].setting;
        std::vector<std::string> values, others;
        for (const int knob : layout.varied) {
            values.push_back(knobValueText(p, knob));
            if (knob != along) others.push_back(knobWords(knob) + " " + knobValueText(p, knob));
        }
        layout.labels.push_back(joined(values, " / "));
        const std::string name = joined(others, ", ");
        const auto found = seriesOf.emplace(name, layout.series.size());
        if (found.second) layout.series.push_back(PlotSeries{name, {}});
        layout.series[found.first->second].settings.push_back(k);
    }
    for (PlotSeries& line : layout.series) {
        std::stable_sort(line.settings.begin(), line.settings.end(), [&](size_t a, size_t b) {
            return along >= 0 && knobValue(summaries[a].setting, along) <
                                     knobValue(summaries[b].setting, along);
        });
    }
    return layout;
}

}  // namespace segmora
