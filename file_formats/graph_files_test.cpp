// The graph files: their exact text, doubles that read back bit for bit, and failures that
// leave neither file behind.
#include "graph_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
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
    g.meanLab = {std::vector<double>{100, 0.1 + 0.2},
                 {128, 0.25},
                 {std::numeric_limits<double>::quiet_NaN(), 255}};
    g.edgeA = {1};
    g.edgeB = {2};
    g.border = {4000000000};
    return g;
}

const char kHeader[] =
    "label,size,row,col,min_row,min_col,max_row,max_col,"
    "mean_red,mean_green,mean_blue,mean_L,mean_a,mean_b\n";

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
                  "1,3,0.3333333333333333,0.1,0,0,1,1,0,0.6666666666666666,255,100,128,nan\n"
                  "2,1,2,0,2,0,2,0,1e-300,7,0.5,0.30000000000000004,0.25,255\n");
    EXPECT_EQ(readFile(dir + "/photo.edges.csv"), "a,b,border\n1,2,4000000000\n");
    EXPECT_EQ(std::strtod("0.3333333333333333", nullptr), g.centroidRow[0]);
    EXPECT_EQ(std::strtod("0.6666666666666666", nullptr), g.meanBgr[1][0]);
    EXPECT_EQ(std::strtod("0.30000000000000004", nullptr), g.meanLab[0][1]);
    EXPECT_EQ(std::strtod("1e-300", nullptr), g.meanBgr[2][1]);
    // Without colours the six colour columns stay empty; so do the Lab ones of a graph
    // whose Lab means are missing or short.
    SuperpixelGraph bare = g;
    for (auto& channel : bare.meanBgr) channel.clear();
    for (auto& channel : bare.meanLab) channel.clear();
    write(dir + "/bare", bare);
    EXPECT_EQ(readFile(dir + "/bare.nodes.csv").substr(sizeof kHeader - 1),
              "1,3,0.3333333333333333,0.1,0,0,1,1,,,,,,\n"
              "2,1,2,0,2,0,2,0,,,,,,\n");
    SuperpixelGraph noLab = g;
    noLab.meanLab[2].pop_back();
    write(dir + "/nolab", noLab);
    EXPECT_EQ(readFile(dir + "/nolab.nodes.csv").substr(sizeof kHeader - 1),
              "1,3,0.3333333333333333,0.1,0,0,1,1,0,0.6666666666666666,255,,,\n"
              "2,1,2,0,2,0,2,0,1e-300,7,0.5,,,\n");
    EXPECT_EQ(entryCount(dir), 6);
}

TEST_F(GraphFiles, AnUnwritableFolderIsRefusedBeforeAnythingIsWritten) {
    EXPECT_THROW(write(dir + "/missing/photo", smallGraph()), std::runtime_error);
    EXPECT_EQ(entryCount(dir), 0);
}

}  // namespace
}  // namespace segmora
