// What --resume of segmora-sweep trusts: the rows of sweep.csv made from the very inputs
// and with the very options of this run.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sweep_table.h"

namespace segmora {

// The inputs a photo's rows are made from, as 16 hexadecimal digits: the photo's size and
// modification time, whether its recorded orientation is applied, the truth folder as
// given and each truth's name, size and modification time (links followed). Empty when
// the photo or a truth cannot be examined (its rows are then made anew, and fail there).
std::string inputsKey(const std::string& photoPath, bool ignoreOrientation,
                      const std::string& truthDir, const std::vector<std::string>& truthFiles);

// Calls `take` with each whole record of the CSV text read from `fd` (quoted fields may
// hold line feeds; a last record without its line feed is cut short and left out), without
// the line feed. A record longer than `longest` bytes is skipped without being held.
// Returns false when reading fails.
bool readRecords(int fd, size_t longest, const std::function<void(const std::string&)>& take);

// The rows to keep from a table that `readRecords` gives: for each photo of `inputs`
// (name -> its inputsKey), the last row of each of `settings` made from those inputs with
// `tolerance` and `ignoreZero`, when the photo has a row for every setting. Says on
// `notes` (one line each) when the table is of an earlier version.
class FinishedRows {
  public:
    FinishedRows(const std::map<std::string, std::string>& inputs,
                 const std::vector<Parameters>& settings, int tolerance, bool ignoreZero);
    void take(const std::string& record);
    // Whether the first record was this version's header (a table without records is).
    bool currentFormat() const { return records == 0 || headerSeen; }
    std::vector<SweepRow> kept() const;

  private:
    const std::map<std::string, std::string>& inputs;
    const std::vector<Parameters>& settings;
    const SettingIndex index;
    int tolerance;
    bool ignoreZero;
    size_t records = 0;
    bool headerSeen = false;
    std::map<std::string, std::map<size_t, SweepRow>> byPhoto;  // setting index -> row
};

}  // namespace segmora
