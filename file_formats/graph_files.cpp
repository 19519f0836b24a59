#include "graph_files.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "output_file.h"

namespace segmora {

namespace {

// Lines gathered cell by cell and written a block at a time. Doubles are written in the
// shortest form that reads back as the same double (std::to_chars), integers as they are.
class CsvWriter {
  public:
    explicit CsvWriter(OutputFile& file) : file(file) {}

    void text(const char* piece) { pending += piece; }
    template <class Number>
    void cell(Number value) {
        char digits[32];
        const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
        pending.append(digits, end.ptr);
    }
    // Ends a line: the file is written when a block has gathered.
    void endLine() {
        pending += '\n';
        if (pending.size() >= kBlock) flush();
    }
    void finish() {
        flush();
        file.commit();
    }

  private:
    static constexpr size_t kBlock = 1 << 16;
    void flush() {
        file.write(pending.data(), pending.size());
        pending.clear();
    }
    OutputFile& file;
    std::string pending;
};

// Whether each of the three channels holds a mean for every superpixel.
bool hasAll(const std::array<std::vector<double>, 3>& channels, int count) {
    for (const auto& channel : channels) {
        if (channel.size() != static_cast<size_t>(count)) return false;
    }
    return true;
}

}  // namespace

std::string graphNodesPath(const std::string& prefix) {
    return prefix + ".nodes.csv";
}
std::string graphEdgesPath(const std::string& prefix) {
    return prefix + ".edges.csv";
}

// The three channels' means of superpixel k, each after a comma; empty cells without them.
void meanCells(CsvWriter& line, const std::array<const std::vector<double>*, 3>& channels,
               bool present, size_t k) {
    for (const std::vector<double>* channel : channels) {
        line.text(",");
        if (present) line.cell((*channel)[k]);
    }
}

void writeGraphFiles(OutputFile& nodes, OutputFile& edges, const SuperpixelGraph& g) {
    CsvWriter nodeLines(nodes), edgeLines(edges);
    const bool rgb = hasAll(g.meanBgr, g.count), lab = hasAll(g.meanLab, g.count);
    nodeLines.text(
        "label,size,row,col,min_row,min_col,max_row,max_col,"
        "mean_red,mean_green,mean_blue,mean_L,mean_a,mean_b\n");
    for (size_t k = 0; k < static_cast<size_t>(g.count); ++k) {
        nodeLines.cell(k + 1);
        nodeLines.text(",");
        nodeLines.cell(g.size[k]);
        for (const double centroid : {g.centroidRow[k], g.centroidColumn[k]}) {
            nodeLines.text(",");
            nodeLines.cell(centroid);
        }
        for (const int bound : {g.minRow[k], g.minColumn[k], g.maxRow[k], g.maxColumn[k]}) {
            nodeLines.text(",");
            nodeLines.cell(bound);
        }
        meanCells(nodeLines, {&g.meanBgr[2], &g.meanBgr[1], &g.meanBgr[0]}, rgb, k);
        meanCells(nodeLines, {&g.meanLab[0], &g.meanLab[1], &g.meanLab[2]}, lab, k);
        nodeLines.endLine();
    }
    edgeLines.text("a,b,border\n");
    for (size_t e = 0; e < g.border.size(); ++e) {
        edgeLines.cell(g.edgeA[e]);
        edgeLines.text(",");
        edgeLines.cell(g.edgeB[e]);
        edgeLines.text(",");
        edgeLines.cell(g.border[e]);
        edgeLines.endLine();
    }
    nodeLines.finish();
    edgeLines.finish();
}

}  // namespace segmora
