#include "graph_files.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "output_file.h"

namespace segmora {

namespace {

// Lines gathered and written a block at a time.
class CsvWriter {
  public:
    explicit CsvWriter(OutputFile& file) : file(file) {}

    void text(const std::string& piece) { pending += piece; }
    template <class... Values>
    void line(const char* format, Values... values) {
        char text[512];
        const int length = std::snprintf(text, sizeof text, format, values...);
        pending.append(text, static_cast<size_t>(length));
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

}  // namespace

std::string graphNodesPath(const std::string& prefix) {
    return prefix + ".nodes.csv";
}
std::string graphEdgesPath(const std::string& prefix) {
    return prefix + ".edges.csv";
}

void writeGraphFiles(OutputFile& nodes, OutputFile& edges, const SuperpixelGraph& g) {
    CsvWriter nodeLines(nodes), edgeLines(edges);
    const bool colours = !g.meanBgr[0].empty();
    nodeLines.text("label,size,row,col,min_row,min_col,max_row,max_col,b,g,r\n");
    for (size_t k = 0; k < static_cast<size_t>(g.count); ++k) {
        nodeLines.line("%zu,%" PRId64 ",%.17g,%.17g,%d,%d,%d,%d", k + 1, g.size[k],
                       g.centroidRow[k], g.centroidColumn[k], g.minRow[k], g.minColumn[k],
                       g.maxRow[k], g.maxColumn[k]);
        if (colours) {
            nodeLines.line(",%.17g,%.17g,%.17g\n", g.meanBgr[0][k], g.meanBgr[1][k],
                           g.meanBgr[2][k]);
        } else {
            nodeLines.text(",,,\n");
        }
    }
    edgeLines.text("a,b,border\n");
    for (size_t e = 0; e < g.border.size(); ++e)
        edgeLines.line("%d,%d,%" PRId64 "\n", g.edgeA[e], g.edgeB[e], g.border[e]);
    nodeLines.finish();
    edgeLines.finish();
}

}  // namespace segmora
