// The sweep's tables: one row per photo and setting, and the means and spreads per setting.
// Numbers are written in their shortest form that reads back as the same number (0.1, not
// 0.10000000000000001), so a table read back holds the very values written.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {

struct SweepRow {
    std::string photo;  // the photo's name (its file name without the extension)
    Parameters setting;
    Evaluation scores;
};

// The table's first line, ended by a line feed.
std::string sweepHeader();
// A row as the table holds it, ended by a line feed; a photo name with a comma, quote or
// line break is quoted.
std::string sweepLine(const SweepRow& row);
// A line of the table without its line feed; nothing for the header or a line that is not
// a whole row.
std::optional<SweepRow> parseSweepLine(const std::string& line);

// The means over the photos of one setting, and their standard deviations (over the n
// photos, divided by n). A measure that is NaN for a photo (explained variation of a
// one-colour photo) is left out of its mean and deviation.
struct SettingSummary {
    Parameters setting;
    int photos = 0;
    double count = 0;  // mean superpixel count
    double recall = 0, precision = 0, undersegmentation = 0, accuracy = 0, variation = 0,
           compactness = 0;
    // Of the count, recall, precision, undersegmentation, accuracy, variation, compactness.
    std::array<double, 7> deviation{};
};
// One summary per setting of `settings`, in their order, from the rows of those settings.
std::vector<SettingSummary> summarise(const std::vector<SweepRow>& rows,
                                      const std::vector<Parameters>& settings);
// The summary table; `partial` (a run stopped or with failed photos) is said in its
// last column, run, on every row: "partial" or "complete".
std::string summaryText(const std::vector<SettingSummary>& summaries, bool partial = false);

// `value` in the shortest text that reads back as the same double; "nan" for NaN.
std::string shortestText(double value);

bool sameSetting(const Parameters& a, const Parameters& b);

}  // namespace segmora
