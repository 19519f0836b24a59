// Segmora --graph and segmora-batch --graph: the files hold describe()'s graph of the labels
// the program writes, both programs write the same, and a run that fails writes neither.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "boundary_picture.h"
#include "cli_fixture.h"
#include "scratch_files.h"
#include "segmora/segmora.h"

namespace {

std::vector<std::vector<std::string>> csvCells(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string>& row = rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) row.push_back(cell);
    }
    return rows;
}

double number(const std::string& cell) {
    return std::strtod(cell.c_str(), nullptr);
}

// The two files against the graph of the photo's labels, every double read back exactly.
void expectGraphFiles(const std::string& prefix, const segmora::SuperpixelGraph& g) {
    const auto nodes = csvCells(readFile(prefix + ".nodes.csv"));
    ASSERT_EQ(nodes.size(), static_cast<size_t>(g.count) + 1);
    EXPECT_EQ(nodes[0],
              (std::vector<std::string>{"label", "size", "row", "col", "min_row", "min_col",
                                        "max_row", "max_col", "mean_red", "mean_green", "mean_blue",
                                        "mean_L", "mean_a", "mean_b"}));
    for (size_t k = 0; k < static_cast<size_t>(g.count); ++k) {
        const std::vector<std::string>& row = nodes[k + 1];
        ASSERT_EQ(row.size(), 14u);
        const std::vector<double> want = {
            double(k + 1),       double(g.size[k]),      g.centroidRow[k],
            g.centroidColumn[k], double(g.minRow[k]),    double(g.minColumn[k]),
            double(g.maxRow[k]), double(g.maxColumn[k]), g.meanBgr[2][k],
            g.meanBgr[1][k],     g.meanBgr[0][k],        g.meanLab[0][k],
            g.meanLab[1][k],     g.meanLab[2][k]};
        for (size_t c = 0; c < want.size(); ++c)
            EXPECT_EQ(number(row[c]), want[c]) << "superpixel " << k + 1 << ", " << nodes[0][c];
    }
    const auto edges = csvCells(readFile(prefix + ".edges.csv"));
    ASSERT_EQ(edges.size(), g.border.size() + 1);
    EXPECT_EQ(edges[0], (std::vector<std::string>{"a", "b", "border"}));
    for (size_t e = 0; e < g.border.size(); ++e) {
        EXPECT_EQ(edges[e + 1],
                  (std::vector<std::string>{std::to_string(g.edgeA[e]), std::to_string(g.edgeB[e]),
                                            std::to_string(g.border[e])}));
    }
}

class GraphFilesCli : public CliTest {
  protected:
    GraphFilesCli()
        : CliTest("graph_files_cli",
                  cv::imread(SEGMORA_SAMPLES_DIR "/chelsea.png")(cv::Rect(100, 50, 160, 120))) {}
    void SetUp() override {
        CliTest::SetUp();
        prefix = dir + "/photo";
    }
    segmora::SuperpixelGraph photoGraph() const {
        const cv::Mat decoded = cv::imread(image);
        return segmora::describe(segmora::segmentPhoto(decoded), decoded);
    }
    std::string prefix;
};

TEST_F(GraphFilesCli, BothProgramsWriteTheGraphOfTheirLabelsAndNothingElseChanges) {
    const ProgramRun plain = run({"-i", image, "-o", output});
    ASSERT_EQ(plain.exitStatus, 0) << plain.err;
    const std::string labels = readFile(output);
    const ProgramRun withGraph = run({"-i", image, "-o", output, "--graph", prefix});
    ASSERT_EQ(withGraph.exitStatus, 0) << withGraph.err;
    EXPECT_EQ(withGraph.out, plain.out);
    EXPECT_EQ(withGraph.err, "");
    EXPECT_EQ(readFile(output), labels);
    expectGraphFiles(prefix, photoGraph());

    const std::string batchDir = dir + "/batch";
    const ProgramRun batch =
        runProgram(SEGMORA_BATCH_PROGRAM, {"-o", batchDir, "--graph", image}, dir);
    ASSERT_EQ(batch.exitStatus, 0) << batch.err;
    EXPECT_EQ(readFile(batchDir + "/photo.csv"), labels);
    EXPECT_EQ(readFile(batchDir + "/photo.nodes.csv"), readFile(prefix + ".nodes.csv"));
    EXPECT_EQ(readFile(batchDir + "/photo.edges.csv"), readFile(prefix + ".edges.csv"));

    // --resume redoes a photo whose graph files are missing, and only that one.
    std::filesystem::remove(batchDir + "/photo.edges.csv");
    const ProgramRun resumed =
        runProgram(SEGMORA_BATCH_PROGRAM, {"-o", batchDir, "--graph", "--resume", image}, dir);
    ASSERT_EQ(resumed.exitStatus, 0) << resumed.err;
    EXPECT_EQ(readFile(batchDir + "/photo.edges.csv"), readFile(prefix + ".edges.csv"));
    const ProgramRun skipped =
        runProgram(SEGMORA_BATCH_PROGRAM, {"-o", batchDir, "--graph", "--resume", image}, dir);
    EXPECT_EQ(skipped.out, "");
}

TEST_F(GraphFilesCli, BothProgramsDrawTunedBoundariesAndMeanColourPictures) {
    const cv::Mat_<cv::Vec3b> decoded = cv::imread(image);
    const segmora::Segmentation s = segmora::segmentPhoto(decoded);
    const auto same = [](const std::string& path, const cv::Mat& want) {
        const cv::Mat got = cv::imread(path);
        ASSERT_EQ(got.size(), want.size()) << path;
        EXPECT_EQ(cv::norm(got, want, cv::NORM_INF), 0) << path;
    };
    const std::vector<std::string> style = {"--boundary-colour", "10,20,30", "--boundary-mode",
                                            "thick"};
    std::vector<std::string> words = {"-i",          image, "-v", dir + "/b.png", "--mean-picture",
                                      dir + "/m.png"};
    words.insert(words.end(), style.begin(), style.end());
    const ProgramRun r = run(words);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    segmora::BoundaryStyle thick;
    thick.segmentColour = cv::Vec3b(30, 20, 10);
    thick.mode = segmora::BoundaryMode::Thick;
    same(dir + "/b.png", segmora::drawBoundaries(decoded, s.labels, nullptr, thick));
    const cv::Mat_<cv::Vec3b> means =
        segmora::meanColourPicture(s.labels, segmora::describe(s, decoded));
    same(dir + "/m.png", means);

    std::vector<std::string> batchWords = {
        "-o", dir + "/out", "-v", dir + "/pictures", "--mean-pictures", dir + "/means"};
    batchWords.insert(batchWords.end(), style.begin(), style.end());
    batchWords.push_back(image);
    const ProgramRun batch = runProgram(SEGMORA_BATCH_PROGRAM, batchWords, dir);
    ASSERT_EQ(batch.exitStatus, 0) << batch.err;
    EXPECT_EQ(readFile(dir + "/pictures/photo.png"), readFile(dir + "/b.png"));
    EXPECT_EQ(readFile(dir + "/means/photo.png"), readFile(dir + "/m.png"));
    // A mean picture that would replace the boundary picture is refused, nothing written.
    const ProgramRun clash =
        run({"-i", image, "-v", dir + "/b.png", "--mean-picture", dir + "/b.png"});
    EXPECT_EQ(clash.exitStatus, 1);
    EXPECT_NE(clash.err.find("would replace the boundary picture"), std::string::npos) << clash.err;
}

TEST_F(GraphFilesCli, FailedRunsWriteNoGraphAndKeepEarlierFiles) {
    const auto expectRefused = [&](const std::vector<std::string>& words,
                                   const std::string& culprit) {
        const int before = entryCount(dir);
        const ProgramRun failed = run(words);
        EXPECT_EQ(failed.exitStatus, 1);
        EXPECT_EQ(failed.err.rfind("Segmora: ", 0), 0u) << failed.err;
        EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
        EXPECT_NE(failed.err.find(culprit), std::string::npos) << failed.err;
        EXPECT_EQ(failed.out.find("Super-pixel num"), std::string::npos);
        EXPECT_EQ(entryCount(dir), before) << failed.err;
    };
    // A prefix in a missing folder: refused before the label file is written.
    expectRefused({"-i", image, "-o", output, "--graph", dir + "/missing/photo"}, "missing");
    EXPECT_EQ(entryCount(dir), 1);  // the photo only
    // Graph files that would replace the photo or the label file.
    std::filesystem::copy_file(image, dir + "/shot.nodes.csv");
    expectRefused({"-i", dir + "/shot.nodes.csv", "--graph", dir + "/shot"}, "shot.nodes.csv");
    expectRefused({"-i", image, "-o", prefix + ".edges.csv", "--graph", prefix}, "edges.csv");
    // A photo that cannot be read leaves earlier graph files as they were.
    ASSERT_EQ(run({"-i", image, "--graph", prefix}).exitStatus, 0);
    const std::string nodes = readFile(prefix + ".nodes.csv");
    std::ofstream(dir + "/broken.png") << "not a picture";
    expectRefused({"-i", dir + "/broken.png", "--graph", prefix}, "broken.png");
    EXPECT_EQ(readFile(prefix + ".nodes.csv"), nodes);
}

// The library takes a photo as cv::imread(path, cv::IMREAD_UNCHANGED) gives it, of every
// kind a PNG holds, and gives the labels and graph files the program writes for the file.
TEST_F(GraphFilesCli, EveryPhotoKindOfAFileGivesTheProgramsLabelsAndGraph) {
    const cv::Mat colour = cv::imread(image);
    cv::Mat grey, wide, alpha(colour.size(), CV_8UC1), bgra, wideBgra;
    cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
    cv::randu(alpha, 0, 256);
    cv::Mat low(colour.size(), CV_16UC3);
    cv::randu(low, 0, 256);
    colour.convertTo(wide, CV_16UC3, 256);
    wide += low;
    cv::merge(std::vector<cv::Mat>{colour, alpha}, bgra);
    cv::Mat wideAlpha;
    alpha.convertTo(wideAlpha, CV_16UC1, 257);
    cv::merge(std::vector<cv::Mat>{wide, wideAlpha}, wideBgra);
    cv::Mat wideGrey;
    grey.convertTo(wideGrey, CV_16UC1, 257);
    for (const auto& [name, pixels] :
         std::vector<std::pair<std::string, cv::Mat>>{{"grey", grey},
                                                      {"grey16", wideGrey},
                                                      {"colour16", wide},
                                                      {"rgba", bgra},
                                                      {"rgba16", wideBgra}}) {
        SCOPED_TRACE(name);
        const std::string file = dir + "/" + name + ".png";
        ASSERT_TRUE(cv::imwrite(file, pixels));
        const ProgramRun program = run({"-i", file, "-o", output, "--graph", prefix});
        ASSERT_EQ(program.exitStatus, 0) << program.err;
        const cv::Mat unchanged = cv::imread(file, cv::IMREAD_UNCHANGED);
        ASSERT_EQ(unchanged.type(), pixels.type());
        const segmora::Segmentation s = segmora::segmentPhoto(unchanged);
        std::ostringstream text;
        text << cv::format(s.labels, cv::Formatter::FMT_CSV) << "\n";
        EXPECT_EQ(text.str(), readFile(output));
        expectGraphFiles(prefix, segmora::describe(s, unchanged));
        if (name == "rgba") {  // the same pixels as floating point in 0..1
            cv::Mat floats;
            unchanged.convertTo(floats, CV_32FC4, 1.0 / 255);
            const segmora::Segmentation f = segmora::segmentPhoto(floats);
            EXPECT_EQ(cv::norm(f.labels, s.labels, cv::NORM_INF), 0);
        }
    }
}

}  // namespace
