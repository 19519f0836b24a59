#include "sweep_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace segmora {

namespace {

std::string number(double value) {
    return shortestText(value);
}

// A knob's value as the float it is: 0.8, not the 0.80000001192092896 of its double.
std::string number(float value) {
    if (std::isnan(value)) return "nan";
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

std::string quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string text = "\"";
    for (const char c : field) text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + "\"";
}

std::string settingText(const Parameters& p) {
    return number(p.threshold) + "," + number(p.sigma) + "," + std::to_string(p.capDivisor) + "," +
           std::to_string(p.minSize) + "," + (p.count != 0 ? std::to_string(p.count) : "");
}

// The fields of a CSV line (quotes as quoted() writes them); nothing when malformed.
std::optional<std::vector<std::string>> fieldsOf(const std::string& line) {
    std::vector<std::string> fields(1);
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ',' && !inQuotes) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (inQuotes) return std::nullopt;
    return fields;
}

bool readNumber(const std::string& text, double& value) {
    if (text == "nan") {
        value = std::nan("");
        return true;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

// A whole number from 0 to INT_MAX written as the table writes it.
bool readWhole(const std::string& text, int& value) {
    double number = 0;
    if (!readNumber(text, number) || !(number >= 0) || number > std::numeric_limits<int>::max() ||
        number != std::floor(number)) {
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

bool isKey(const std::string& text) {
    return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::tuple<float, float, int, int, int> keyOf(const Parameters& p) {
    return {p.threshold, p.sigma, p.capDivisor, p.minSize, p.count};
}

// A row's measures in the order of SettingSummary::deviation.
std::array<double, 7> measuresOf(const Evaluation& e) {
    return {double(e.count),        e.boundaryRecall,     e.boundaryPrecision,
            e.undersegmentationError, e.achievableAccuracy, e.explainedVariation,
            e.compactness};
}

double meanOf(double sum, int n) {
    return n == 0 ? std::nan("") : sum / n;
}

}  // namespace

std::string shortestText(double value) {
    if (std::isnan(value)) return "nan";
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

bool sameSetting(const Parameters& a, const Parameters& b) {
    return a.threshold == b.threshold && a.sigma == b.sigma && a.capDivisor == b.capDivisor &&
           a.minSize == b.minSize && a.count == b.count;
}

std::string sweepHeader() {
    return "photo,threshold,sigma,cap_divisor,min_size,count_asked,count,boundary_recall,boundary_precision,"
           "undersegmentation_error,achievable_segmentation_accuracy,explained_variation,"
           "compactness,truths,tolerance,ignore_zero,truth_files,inputs\n";
}

SettingIndex::SettingIndex(const std::vector<Parameters>& settings) {
    for (size_t k = 0; k < settings.size(); ++k) positions.emplace(keyOf(settings[k]), k);
}

std::optional<size_t> SettingIndex::of(const Parameters& setting) const {
    const auto found = positions.find(keyOf(setting));
    if (found == positions.end()) return std::nullopt;
    return found->second;
}

void sortRows(std::vector<SweepRow>& rows, const std::vector<std::string>& names,
              const std::vector<Parameters>& settings) {
    std::map<std::string, size_t> photoOrder;
    for (size_t k = 0; k < names.size(); ++k) photoOrder.emplace(names[k], k);
    const SettingIndex index(settings);
    std::vector<std::pair<std::pair<size_t, size_t>, size_t>> order;  // (photo, setting), row
    for (size_t k = 0; k < rows.size(); ++k) {
        const auto photo = photoOrder.find(rows[k].photo);
        order.push_back({{photo == photoOrder.end() ? names.size() : photo->second,
                          index.of(rows[k].setting).value_or(settings.size())},
                         k});
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<SweepRow> sorted;
    sorted.reserve(rows.size());
    for (const auto& entry : order) sorted.push_back(std::move(rows[entry.second]));
    rows = std::move(sorted);
}

std::string sweepLine(const SweepRow& row) {
    const Evaluation& e = row.scores;
    return quoted(row.photo) + "," + settingText(row.setting) + "," + std::to_string(e.count) +
           "," + number(e.boundaryRecall) + "," + number(e.boundaryPrecision) + "," +
           number(e.undersegmentationError) + "," + number(e.achievableAccuracy) + "," +
           number(e.explainedVariation) + "," + number(e.compactness) + "," +
           std::to_string(e.truths) + "," + std::to_string(row.tolerance) + "," +
           (row.ignoreZero ? "1" : "0") + "," + quoted(row.truthFiles) + "," + row.inputs + "\n";
}

std::optional<SweepRow> parseSweepLine(const std::string& line) {
    const std::optional<std::vector<std::string>> fields = fieldsOf(line);
    if (!fields || fields->size() != 18) return std::nullopt;
    std::vector<std::string> f = *fields;
    const std::string asked = f[5];  // empty: no count asked
    f.erase(f.begin() + 5);
    double v[12];
    for (int k = 0; k < 12; ++k) {
        if (!readNumber(f[size_t(k) + 1], v[k])) return std::nullopt;
    }
    SweepRow row;
    row.photo = f[0];
    row.setting = photoParameters(false);
    row.setting.threshold = float(v[0]);
    row.setting.sigma = float(v[1]);
    row.setting.threads = 1;
    Evaluation& e = row.scores;
    if (!readWhole(f[3], row.setting.capDivisor) || !readWhole(f[4], row.setting.minSize) ||
        (!asked.empty() && (!readWhole(asked, row.setting.count) || row.setting.count < 1)) ||
        !readWhole(f[5], e.count) || !readWhole(f[12], e.truths) ||
        !readWhole(f[13], row.tolerance) || (f[14] != "0" && f[14] != "1") || !isKey(f[16])) {
        return std::nullopt;
    }
    e.boundaryRecall = v[5];
    e.boundaryPrecision = v[6];
    e.undersegmentationError = v[7];
    e.achievableAccuracy = v[8];
    e.explainedVariation = v[9];
    e.compactness = v[10];
    row.ignoreZero = f[14] == "1";
    row.truthFiles = f[15];
    row.inputs = f[16];
    return row;
}

std::vector<SettingSummary> summarise(const std::vector<SweepRow>& rows,
                                      const std::vector<Parameters>& settings) {
    std::vector<SettingSummary> summaries(settings.size());
    std::vector<std::array<double, 7>> sums(settings.size()), squares(settings.size());
    std::vector<std::array<int, 7>> counted(settings.size());
    const SettingIndex index(settings);
    for (const SweepRow& row : rows) {
        const std::optional<size_t> k = index.of(row.setting);
        if (!k) continue;
        ++summaries[*k].photos;
        const std::array<double, 7> values = measuresOf(row.scores);
        for (size_t m = 0; m < 7; ++m) {
            if (std::isnan(values[m])) continue;
            sums[*k][m] += values[m];
            ++counted[*k][m];
        }
    }
    for (size_t k = 0; k < settings.size(); ++k) {
        SettingSummary& s = summaries[k];
        s.setting = settings[k];
        double* means[7] = {&s.count,    &s.recall,    &s.precision,  &s.undersegmentation,
                            &s.accuracy, &s.variation, &s.compactness};
        for (size_t m = 0; m < 7; ++m) *means[m] = meanOf(sums[k][m], counted[k][m]);
    }
    // The deviations about those means (NaN values left out; NaN when none is left).
    for (const SweepRow& row : rows) {
        const std::optional<size_t> k = index.of(row.setting);
        if (!k) continue;
        const SettingSummary& s = summaries[*k];
        const std::array<double, 7> means{s.count,    s.recall,    s.precision,
                                          s.undersegmentation, s.accuracy, s.variation,
                                          s.compactness};
        const std::array<double, 7> values = measuresOf(row.scores);
        for (size_t m = 0; m < 7; ++m) {
            if (std::isnan(values[m])) continue;
            squares[*k][m] += (values[m] - means[m]) * (values[m] - means[m]);
        }
    }
    for (size_t k = 0; k < settings.size(); ++k) {
        for (size_t m = 0; m < 7; ++m) {
            summaries[k].deviation[m] = counted[k][m] == 0
                                            ? std::nan("")
                                            : std::sqrt(squares[k][m] / counted[k][m]);
        }
    }
    return summaries;
}

std::string summaryText(const std::vector<SettingSummary>& summaries, bool partial) {
    // The means first, as before; then their standard deviations and the run's state.
    std::string text =
        "threshold,sigma,cap_divisor,min_size,count_asked,photos,mean_count,boundary_recall,"
        "boundary_precision,undersegmentation_error,achievable_segmentation_accuracy,"
        "explained_variation,compactness,count_sd,boundary_recall_sd,boundary_precision_sd,"
        "undersegmentation_error_sd,achievable_segmentation_accuracy_sd,explained_variation_sd,"
        "compactness_sd,run\n";
    for (const SettingSummary& s : summaries) {
        text += settingText(s.setting) + "," + std::to_string(s.photos) + "," + number(s.count) +
                "," + number(s.recall) + "," + number(s.precision) + "," +
                number(s.undersegmentation) + "," + number(s.accuracy) + "," + number(s.variation) +
                "," + number(s.compactness);
        for (const double d : s.deviation) text += "," + number(d);
        text += partial ? ",partial\n" : ",complete\n";
    }
    return text;
}

}  // namespace segmora
