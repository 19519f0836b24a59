// The graph files: their exact text, doubles that read back bit for bit, and failures that
// leave neither file behind.
#include "graph_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "output_file.h"
#include "scratch_files.h"

namespace segmora {
namespace {

SuperpixelGraph smallGraph() {
    SuperpixelGraph g;
    g.count = 2;
    g.size = {3, 1};
    g.centroidRow = {1.0 / 3.0, 2};
    g.centroidColumn = {0.1, 0};
    g.minRow = {0, 2};
    g.minColumn = {0, 0};
    g.maxRow = {1, 2};
    g.maxColumn = {1, 0};
    g.meanBgr = {std::vector<double>{255, 0.5}, {2.0 / 3.0, 7}, {0, 1e-300}};
    g.edgeA = {1};
    g.edgeB = {2};
    g.border = {4000000000};
    return g;
}

const char kHeader[] = "label,size,row,col,min_row,min_col,max_row,max_col,b,g,r\n";

class GraphFiles : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("graph_files_test"); }
    void TearDown() override { removeScratchDir(dir); }
    void write(const std::string& prefix, const SuperpixelGraph& g) {
        OutputFile nodes(graphNodesPath(prefix), "graph nodes file");
        OutputFile edges(graphEdgesPath(prefix), "graph edges file");
        writeGraphFiles(nodes, edges, g);
    }
    std::string dir;
};

TEST_F(GraphFiles, HeaderAndRowsWithDoublesThatReadBackExactly) {
    const SuperpixelGraph g = smallGraph();
    write(dir + "/photo", g);
    EXPECT_EQ(readFile(dir + "/photo.nodes.csv"),
              std::string(kHeader) +
                  "1,3,0.33333333333333331,0.10000000000000001,0,0,1,1,255,0.66666666666666663,0\n"
                  "2,1,2,0,2,0,2,0,0.5,7,1e-300\n");
    EXPECT_EQ(readFile(dir + "/photo.edges.csv"), "a,b,border\n1,2,4000000000\n");
    EXPECT_EQ(std::strtod("0.33333333333333331", nullptr), g.centroidRow[0]);
    EXPECT_EQ(std::strtod("0.66666666666666663", nullptr), g.meanBgr[1][0]);
    EXPECT_EQ(std::strtod("1e-300", nullptr), g.meanBgr[2][1]);
    // Without colours the three colour columns stay empty.
    SuperpixelGraph bare = g;
    for (auto& channel : bare.meanBgr) channel.clear();
    write(dir + "/bare", bare);
    EXPECT_EQ(readFile(dir + "/bare.nodes.csv").substr(sizeof kHeader - 1),
              "1,3,0.33333333333333331,"
              "0.10000000000000001,0,0,1,1,,,\n"
              "2,1,2,0,2,0,2,0,,,\n");
    EXPECT_EQ(entryCount(dir), 4);
}

TEST_F(GraphFiles, AnUnwritableFolderIsRefusedBeforeAnythingIsWritten) {
    EXPECT_THROW(write(dir + "/missing/photo", smallGraph()), std::runtime_error);
    EXPECT_EQ(entryCount(dir), 0);
}

}  // namespace
}  // namespace segmora
