// The sweep's tables: one row per photo and setting, and the means and spreads per setting.
// Numbers are written in their shortest form that reads back as the same number (0.1, not
// 0.10000000000000001), so a table read back holds the very values written.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {

struct SweepRow {
    std::string photo;  // the photo's name (its file name without the extension)
    Parameters setting;
    Evaluation scores;
    // What the row was made with and from, for --resume (sweep_record.h).
    int tolerance = 2;
    bool ignoreZero = false;
    std::string truthFiles;  // the names of the truths scored against, '/' between them
    std::string inputs;      // inputsKey() of the photo
};

// The table's first line, ended by a line feed.
std::string sweepHeader();
// A row as the table holds it, ended by a line feed; a photo name with a comma, quote or
// line break is quoted.
std::string sweepLine(const SweepRow& row);
// A line of the table without its line feed (a quoted name may hold line feeds); nothing
// for the header or a line that is not a whole row: 17 fields, whole numbers where the
// table has them and in the range of their kind.
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
// The position of each setting in a list, found in logarithmic time; the first of equal ones.
class SettingIndex {
  public:
    explicit SettingIndex(const std::vector<Parameters>& settings);
    std::optional<size_t> of(const Parameters& setting) const;

  private:
    std::map<std::tuple<float, float, int, int, int>, size_t> positions;
};

// Rows in the order of `names`, then of the settings; rows of other photos or settings last.
void sortRows(std::vector<SweepRow>& rows, const std::vector<std::string>& names,
              const std::vector<Parameters>& settings);

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
