#include "sweep_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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
           std::to_string(p.minSize);
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

// A row's measures in the order of SettingSummary::deviation.
std::array<double, 7> measuresOf(const Evaluation& e) {
    return {double(e.count),        e.boundaryRecall,     e.boundaryPrecision,
            e.undersegmentationError, e.achievableAccuracy, e.explainedVariation,
            e.compactness};
}

// The standard deviation of each measure over the rows of the setting of `s`, about the
// means `s` holds (NaN values left out; NaN when none is left).
std::array<double, 7> deviations(const std::vector<SweepRow>& rows, const SettingSummary& s) {
    const std::array<double, 7> means{s.count,    s.recall,    s.precision,  s.undersegmentation,
                                      s.accuracy, s.variation, s.compactness};
    std::array<double, 7> squares{}, counted{};
    for (const SweepRow& row : rows) {
        if (!sameSetting(row.setting, s.setting)) continue;
        const std::array<double, 7> values = measuresOf(row.scores);
        for (size_t k = 0; k < 7; ++k) {
            if (std::isnan(values[k])) continue;
            squares[k] += (values[k] - means[k]) * (values[k] - means[k]);
            counted[k] += 1;
        }
    }
    std::array<double, 7> deviation;
    for (size_t k = 0; k < 7; ++k)
        deviation[k] = counted[k] == 0 ? std::nan("") : std::sqrt(squares[k] / counted[k]);
    return deviation;
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
           a.minSize == b.minSize;
}

std::string sweepHeader() {
    return "photo,threshold,sigma,cap_divisor,min_size,count,boundary_recall,boundary_precision,"
           "undersegmentation_error,achievable_segmentation_accuracy,explained_variation,"
           "compactness,truths\n";
}

std::string sweepLine(const SweepRow& row) {
    const Evaluation& e = row.scores;
    return quoted(row.photo) + "," + settingText(row.setting) + "," + std::to_string(e.count) +
           "," + number(e.boundaryRecall) + "," + number(e.boundaryPrecision) + "," +
           number(e.undersegmentationError) + "," + number(e.achievableAccuracy) + "," +
           number(e.explainedVariation) + "," + number(e.compactness) + "," +
           std::to_string(e.truths) + "\n";
}

std::optional<SweepRow> parseSweepLine(const std::string& line) {
    const std::optional<std::vector<std::string>> fields = fieldsOf(line);
    if (!fields || fields->size() != 13 || (*fields)[0] == "photo") return std::nullopt;
    double v[12];
    for (int k = 0; k < 12; ++k) {
        if (!readNumber((*fields)[size_t(k) + 1], v[k])) return std::nullopt;
    }
    SweepRow row;
    row.photo = (*fields)[0];
    row.setting = photoParameters(false);
    row.setting.threshold = float(v[0]);
    row.setting.sigma = float(v[1]);
    row.setting.capDivisor = int(v[2]);
    row.setting.minSize = int(v[3]);
    row.setting.threads = 1;
    Evaluation& e = row.scores;
    e.count = int(v[4]);
    e.boundaryRecall = v[5];
    e.boundaryPrecision = v[6];
    e.undersegmentationError = v[7];
    e.achievableAccuracy = v[8];
    e.explainedVariation = v[9];
    e.compactness = v[10];
    e.truths = int(v[11]);
    return row;
}

std::vector<SettingSummary> summarise(const std::vector<SweepRow>& rows,
                                      const std::vector<Parameters>& settings) {
    std::vector<SettingSummary> summaries;
    for (const Parameters& setting : settings) {
        SettingSummary s;
        s.setting = setting;
        double sums[7] = {};
        int counted[7] = {};
        for (const SweepRow& row : rows) {
            if (!sameSetting(row.setting, setting)) continue;
            ++s.photos;
            const std::array<double, 7> values = measuresOf(row.scores);
            for (size_t k = 0; k < 7; ++k) {
                if (std::isnan(values[k])) continue;
                sums[k] += values[k];
                ++counted[k];
            }
        }
        double* means[7] = {&s.count,    &s.recall,    &s.precision,  &s.undersegmentation,
                            &s.accuracy, &s.variation, &s.compactness};
        for (int k = 0; k < 7; ++k) *means[k] = meanOf(sums[k], counted[k]);
        s.deviation = deviations(rows, s);
        summaries.push_back(s);
    }
    return summaries;
}

std::string summaryText(const std::vector<SettingSummary>& summaries, bool partial) {
    // The means first, as before; then their standard deviations and the run's state.
    std::string text =
        "threshold,sigma,cap_divisor,min_size,photos,mean_count,boundary_recall,"
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
