// The files segmora-sweep writes, in its output folder held open for the run (see
// safe_output/): sweep.csv, summary.csv and sweep.png are each written to a temporary file
// created there exclusively and renamed over the name, so nothing found at a name (a
// link, a FIFO) is ever followed or written through; the table is then appended to a
// photo's rows at a time, opened without following a link.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "output_folder.h"
#include "sweep_table.h"

namespace segmora {

struct SweepOptions;

class SweepOutputs {
  public:
    using Say = std::function<void(const std::string&)>;

    // Makes the folder when missing, opens and checks it as OutputFolder does and removes
    // the temporary files killed runs left there (each said). Throws std::runtime_error.
    SweepOutputs(const std::string& folder, const Say& say);
    ~SweepOutputs();

    // The rows of the table an earlier run wrote that --resume keeps (see FinishedRows);
    // a table that is not a regular file, cannot be read or is of an earlier version keeps
    // nothing, and the reason is said.
    std::vector<SweepRow> finishedRows(const std::map<std::string, std::string>& inputs,
                                       const SweepOptions& options, const Say& say) const;
    // Replaces the table by the header and `kept`, and opens it for appending.
    void startTable(const std::vector<SweepRow>& kept);
    // Appends a photo's rows in one write (safe from several threads). Throws.
    void append(const std::vector<SweepRow>& rows);
    std::vector<SweepRow> appended();
    // The sorted table, the summary and the plot, each replacing its file whole;
    // `partial`: why the run was partial ("" when it was not), said by the summary and plot.
    void writeResults(std::vector<SweepRow> rows, const std::vector<std::string>& names,
                      const SweepOptions& options, const std::string& partial) const;
    // The list of photos counted apart, one path a line; no file when there is none.
    void writeWithoutTruth(const std::vector<std::string>& paths) const;

    const std::string& path() const { return folder->path(); }
    static constexpr const char* kTable = "sweep.csv";
    static constexpr const char* kSummary = "summary.csv";
    static constexpr const char* kPlot = "sweep.png";
    static constexpr const char* kWithoutTruth = "no-truth.txt";

  private:
    void writeWhole(const char* name, const std::string& description,
                    const std::string& bytes) const;

    std::unique_ptr<OutputFolder> folder;
    int tableFd = -1;
    std::mutex lock;
    std::vector<SweepRow> written;
};

}  // namespace segmora
