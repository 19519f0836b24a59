// segmora-sweep against the library: every row of its table is evaluate() of segmentPhoto()
// for the same photo, setting and truths; a resumed run keeps finished photos and ends with
// the same table; truths are found by name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "scratch_files.h"
#include "sweep_app.h"
#include "sweep_options.h"
#include "sweep_plot.h"
#include "sweep_record.h"
#include "sweep_series.h"
#include "sweep_table.h"
#include "truth_files.h"
#include "truth_owners.h"

namespace segmora {
namespace {

SweepRow rowOf(const std::string& photo, const Parameters& setting) {
    SweepRow row;
    row.photo = photo;
    row.setting = setting;
    row.inputs = "0123456789abcdef";
    return row;
}

// Bit-for-bit equality, NaN equal to NaN.
bool same(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

class Sweep : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("sweep");
        ::mkdir((dir + "/photos").c_str(), 0755);
        ::mkdir((dir + "/truths").c_str(), 0755);
        // Crops of two samples; chelsea has its region map as CSV and as a 16-bit PNG of
        // other ids, coffee a coarse segmentation of itself as a second truth.
        for (const char* name : {"chelsea", "coffee"}) {
            const cv::Rect crop(40, 30, 150, 110);
            const cv::Mat photo =
                cv::imread(std::string(SEGMORA_SAMPLES) + "/" + name + ".png")(crop);
            cv::imwrite(dir + "/photos/" + name + ".png", photo);
            cv::Mat_<int> regions(
                cv::imread(std::string(SEGMORA_SAMPLES) + "/" + name + ".png").size());
            std::ifstream in(std::string(SEGMORA_REGIONS) + "/" + name + ".txt");
            for (int& id : regions) in >> id;
            const cv::Mat_<int> truth = regions(crop).clone();
            std::ostringstream csv;
            for (int y = 0; y < truth.rows; ++y) {
                for (int x = 0; x < truth.cols; ++x)
                    csv << truth(y, x) << (x + 1 < truth.cols ? ", " : "\n");
            }
            writeFile(dir + "/truths/" + name + "_1.csv", csv.str());
            cv::Mat wide;
            truth.convertTo(wide, CV_16U, 1, 10);
            if (std::string(name) == "coffee") {
                Parameters coarse = photoParameters(false);
                coarse.threshold = 4000;
                coarse.capDivisor = 30;
                segmentPhoto(photo, coarse).labels.convertTo(wide, CV_16U);
            }
            cv::imwrite(dir + "/truths/" + name + "-2.png", wide);
        }
    }
    void TearDown() override { removeScratchDir(dir); }

    int run(std::vector<std::string> words) {
        const int null = ::open("/dev/null", O_WRONLY);
        words.insert(words.begin(), {"-q", "-j", "2", "-t", dir + "/truths", "-o", dir + "/out"});
        const int status = runSweep(words, nullptr, null, null);
        ::close(null);
        return status;
    }
    std::vector<SweepRow> table() {
        std::istringstream lines(readFile(dir + "/out/sweep.csv"));
        std::vector<SweepRow> rows;
        for (std::string line; std::getline(lines, line);) {
            if (const auto row = parseSweepLine(line)) rows.push_back(*row);
        }
        return rows;
    }

    std::string dir;
};

TEST_F(Sweep, EveryRowIsTheLibrarysScore) {
    ASSERT_EQ(run({"--threshold", "300,1000", "--cap-divisor=100,500", "--tolerance", "1",
                   dir + "/photos"}),
              0);
    const std::vector<SweepRow> rows = table();
    ASSERT_EQ(rows.size(), 8u);
    EvaluationOptions options;
    options.tolerance = 1;
    for (size_t k = 0; k < rows.size(); ++k) {
        const SweepRow& row = rows[k];
        EXPECT_EQ(row.photo, k < 4 ? "chelsea" : "coffee");
        EXPECT_EQ(row.setting.threshold, k % 4 < 2 ? 300.0f : 1000.0f);
        EXPECT_EQ(row.setting.capDivisor, k % 2 == 0 ? 100 : 500);
        const cv::Mat photo = cv::imread(dir + "/photos/" + row.photo + ".png");
        std::vector<cv::Mat_<int>> truths{
            readTruth(dir + "/truths/" + row.photo + "-2.png", photo.size()),
            readTruth(dir + "/truths/" + row.photo + "_1.csv", photo.size())};
        const Evaluation e = evaluate(segmentPhoto(photo, row.setting), truths, photo, options);
        const Evaluation& got = row.scores;
        EXPECT_EQ(got.count, e.count);
        EXPECT_EQ(got.truths, 2);
        EXPECT_TRUE(same(got.boundaryRecall, e.boundaryRecall) &&
                    same(got.boundaryPrecision, e.boundaryPrecision) &&
                    same(got.undersegmentationError, e.undersegmentationError) &&
                    same(got.achievableAccuracy, e.achievableAccuracy) &&
                    same(got.explainedVariation, e.explainedVariation) &&
                    same(got.compactness, e.compactness))
            << k;
    }
    const std::vector<SettingSummary> summary =
        summarise(rows, parseSweepOptions({"-t", "t", "-o", "o", "--threshold", "300,1000",
                                           "--cap-divisor", "100,500", "x"})
                            .settings);
    ASSERT_EQ(summary.size(), 4u);
    EXPECT_EQ(summary[1].count, (rows[1].scores.count + rows[5].scores.count) / 2.0);
    EXPECT_EQ(summaryText(summary), readFile(dir + "/out/summary.csv"));
    const cv::Mat plot = cv::imread(dir + "/out/sweep.png");
    EXPECT_EQ(plot.size(), cv::Size(900, 560));
}

// --counts: every row has exactly the count asked for, and the scores of the library's cut
// at that count; the knobs given with it shape the run each photo is cut from.
TEST_F(Sweep, CountsAreExactAndScoredAsTheLibraryCutsThem) {
    ASSERT_EQ(run({"--counts", "7,150", "--min-size", "20", dir + "/photos"}), 0);
    const std::vector<SweepRow> rows = table();
    ASSERT_EQ(rows.size(), 4u);
    for (size_t k = 0; k < rows.size(); ++k) {
        const SweepRow& row = rows[k];
        EXPECT_EQ(row.setting.count, k % 2 == 0 ? 7 : 150);
        EXPECT_EQ(row.setting.minSize, 20);
        EXPECT_EQ(row.scores.count, row.setting.count);
        const cv::Mat photo = cv::imread(dir + "/photos/" + row.photo + ".png");
        std::vector<cv::Mat_<int>> truths{
            readTruth(dir + "/truths/" + row.photo + "-2.png", photo.size()),
            readTruth(dir + "/truths/" + row.photo + "_1.csv", photo.size())};
        const Evaluation e = evaluate(segmentPhoto(photo, row.setting), truths, photo);
        EXPECT_TRUE(same(row.scores.boundaryRecall, e.boundaryRecall) &&
                    same(row.scores.explainedVariation, e.explainedVariation))
            << k;
    }
    EXPECT_NE(readFile(dir + "/out/summary.csv").find("\n500,0,500,20,150,2,150,"),
              std::string::npos);
    // A count above a photo's finest fails that photo with the range named.
    EXPECT_EQ(run({"--counts", "100000000", dir + "/photos"}), 1);
}

// --masks: each photo segmented inside its mask (a picture here), and the scores those of
// the library on the masked labels, whose 0 pixels evaluate() leaves out.
TEST_F(Sweep, MasksPairedByNameRestrictSegmentationAndScores) {
    ::mkdir((dir + "/masks").c_str(), 0755);
    cv::Mat mask(110, 150, CV_8UC1, cv::Scalar(0));
    for (int y = 0; y < mask.rows; ++y) {
        for (int x = 0; x < mask.cols; ++x) {
            if ((x - 75) * (x - 75) + (y - 55) * (y - 55) <= 40 * 40) mask.at<uint8_t>(y, x) = 255;
        }
    }
    for (const char* name : {"chelsea", "coffee"}) {
        cv::imwrite(dir + "/masks/" + name + ".png", mask);
    }
    ASSERT_EQ(run({"--masks", dir + "/masks", "--cap-divisor", "100", dir + "/photos"}), 0);
    const std::vector<SweepRow> rows = table();
    ASSERT_EQ(rows.size(), 2u);
    for (const SweepRow& row : rows) {
        const cv::Mat photo = cv::imread(dir + "/photos/" + row.photo + ".png");
        const Segmentation s = segmentPhoto(photo, cv::Mat_<int>(), row.setting, mask / 255);
        EXPECT_EQ(cv::countNonZero(s.labels), cv::countNonZero(mask));
        const Evaluation e =
            evaluate(s,
                     {readTruth(dir + "/truths/" + row.photo + "-2.png", photo.size()),
                      readTruth(dir + "/truths/" + row.photo + "_1.csv", photo.size())},
                     photo);
        EXPECT_EQ(row.scores.count, s.count);
        EXPECT_TRUE(same(row.scores.undersegmentationError, e.undersegmentationError) &&
                    same(row.scores.boundaryRecall, e.boundaryRecall) &&
                    same(row.scores.explainedVariation, e.explainedVariation))
            << row.photo;
    }
}

TEST_F(Sweep, ResumeKeepsFinishedPhotosAndRedoesTheRest) {
    ASSERT_EQ(run({"--threshold", "300,1000", dir + "/photos"}), 0);
    const std::string whole = readFile(dir + "/out/sweep.csv");
    // A stopped run: chelsea's rows, and coffee's first row cut short.
    const size_t coffee = whole.find("\ncoffee,") + 1;
    writeFile(dir + "/out/sweep.csv", whole.substr(0, coffee) + whole.substr(coffee, 20));
    ASSERT_EQ(run({"--threshold", "300,1000", "--resume", dir + "/photos"}), 0);
    EXPECT_EQ(readFile(dir + "/out/sweep.csv"), whole);
    // Rows of another setting are no finished photo.
    ASSERT_EQ(run({"--threshold", "300,2000", "--resume", dir + "/photos"}), 0);
    EXPECT_EQ(table().size(), 4u);
    EXPECT_EQ(table()[1].setting.threshold, 2000.0f);
}

TEST_F(Sweep, PhotosWithoutTruthAreCountedApartUnlessTruthsAreRequired) {
    ::unlink((dir + "/truths/coffee_1.csv").c_str());
    ::unlink((dir + "/truths/coffee-2.png").c_str());
    EXPECT_EQ(run({dir + "/photos"}), 0);
    ASSERT_EQ(table().size(), 1u);
    EXPECT_EQ(table()[0].photo, "chelsea");
    EXPECT_EQ(readFile(dir + "/out/no-truth.txt"), dir + "/photos/coffee.png\n");
    EXPECT_NE(readFile(dir + "/out/summary.csv").find(",complete\n"), std::string::npos);
    EXPECT_EQ(run({"--require-truths", dir + "/photos"}), 1);
    EXPECT_EQ(::access((dir + "/out/no-truth.txt").c_str(), F_OK), -1) << "a stale list is gone";
    EXPECT_NE(readFile(dir + "/out/summary.csv").find(",partial\n"), std::string::npos);
    EXPECT_EQ(run({"--threshold", "1,x", dir + "/photos"}), 2);
}

TEST_F(Sweep, AMissingPhotoIsBlamedOnItselfAndMakesTheRunPartial) {
    const std::string messages = dir + "/messages";
    const int fd = ::open(messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = ::open("/dev/null", O_WRONLY);
    const int status = runSweep({"-q", "-t", dir + "/truths", "-o", dir + "/out",
                                 dir + "/photos/chelsea.png", dir + "/photos/gone.png"},
                                nullptr, null, fd);
    ::close(fd);
    ::close(null);
    EXPECT_EQ(status, 1);
    const std::string said = readFile(messages);
    EXPECT_NE(said.find("gone.png: cannot read image"), std::string::npos) << said;
    EXPECT_EQ(said.find("ground truth"), std::string::npos) << said;
    EXPECT_NE(readFile(dir + "/out/summary.csv").find(",partial\n"), std::string::npos);
}

TEST_F(Sweep, PhotoListsOnStandardInputAndFoldersBelow) {
    std::istringstream lines(dir + "/photos/coffee.png\n" + dir + "/photos/chelsea.png\n");
    const int null = ::open("/dev/null", O_WRONLY);
    EXPECT_EQ(runSweep({"-q", "-t", dir + "/truths", "-o", dir + "/out", "-"}, nullptr, null,
                       null, lines),
              0);
    EXPECT_EQ(table().size(), 2u);
    std::istringstream nulls(std::string(dir + "/photos/coffee.png") + '\0');
    EXPECT_EQ(runSweep({"-q", "-0", "-t", dir + "/truths", "-o", dir + "/out", "-"}, nullptr,
                       null, null, nulls),
              0);
    ASSERT_EQ(table().size(), 1u);
    EXPECT_EQ(table()[0].photo, "coffee");
    // -R: a photo in SUB/ takes its truths from TRUTH_DIR/SUB/ and is named SUB/NAME.
    ::mkdir((dir + "/photos/sub").c_str(), 0755);
    ::mkdir((dir + "/truths/sub").c_str(), 0755);
    ::rename((dir + "/photos/coffee.png").c_str(), (dir + "/photos/sub/coffee.png").c_str());
    ::rename((dir + "/truths/coffee-2.png").c_str(), (dir + "/truths/sub/coffee-2.png").c_str());
    ::rename((dir + "/truths/coffee_1.csv").c_str(), (dir + "/truths/sub/coffee_1.csv").c_str());
    ::close(null);
    ASSERT_EQ(run({"-R", dir + "/photos"}), 0);
    ASSERT_EQ(table().size(), 2u);
    EXPECT_EQ(table()[1].photo, "sub/coffee");
    EXPECT_EQ(table()[1].scores.truths, 2);
}

// On a terminal the progress line ends once: the last line is not drawn a second time.
TEST_F(Sweep, TheLastProgressLineShowsOnce) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    const int null = ::open("/dev/null", O_WRONLY);
    ASSERT_EQ(runSweep({"-t", dir + "/truths", "-o", dir + "/out", dir + "/photos"}, nullptr,
                       null, terminal),
              0);
    std::string shown;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, size_t(n));
    ::close(terminal);
    ::close(master);
    ::close(null);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
    EXPECT_NE(shown.find("2/2 photos"), std::string::npos) << shown;
}

TEST(SweepSummary, MeansSpreadsAndShortestNumbers) {
    Parameters setting = photoParameters(false);
    setting.threshold = 0.8f;
    SweepRow first;
    first.photo = "a";
    first.setting = setting;
    std::vector<SweepRow> rows(2, first);
    rows[1].photo = "b";
    rows[0].scores.count = 10;
    rows[1].scores.count = 20;
    rows[0].scores.boundaryRecall = rows[1].scores.boundaryRecall = 0.1;
    rows[0].scores.explainedVariation = 0.5;  // the other photo's is NaN: left out
    const std::vector<SettingSummary> summary = summarise(rows, {setting});
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(summary[0].count, 15);
    EXPECT_EQ(summary[0].deviation[0], 5);
    EXPECT_EQ(summary[0].deviation[1], 0);
    EXPECT_EQ(summary[0].deviation[5], 0);
    const std::string text = summaryText(summary, true);
    const std::string row = text.substr(text.find('\n') + 1);
    EXPECT_EQ(row.substr(0, row.find(",0.1,")), "0.8,0,500,5,,2,15") << row;
    EXPECT_NE(row.find(",5,0,"), std::string::npos) << row;
    EXPECT_EQ(row.substr(row.size() - 9), ",partial\n");
    EXPECT_EQ(shortestText(790.63499999999999), "790.635");
    EXPECT_EQ(shortestText(1.0 / 3), "0.3333333333333333");
}

TEST(SweepPlot, LinesJoinSettingsThatDifferInOneKnob) {
    const std::vector<Parameters> settings =
        parseSweepOptions({"-t", "t", "-o", "o", "--threshold", "1000,300", "--cap-divisor",
                           "500,100,2000", "x"})
            .settings;
    std::vector<SettingSummary> summaries;
    for (const Parameters& p : settings) summaries.push_back(SettingSummary{p});
    const PlotLayout layout = layoutOf(summaries);
    EXPECT_EQ(layout.varied, (std::vector<int>{0, 2}));
    EXPECT_EQ(layout.labelKey, "threshold / cap divisor");
    EXPECT_EQ(layout.labels[4], "300 / 100");
    ASSERT_EQ(layout.series.size(), 2u);
    EXPECT_EQ(layout.series[1].name, "threshold 300");
    // Along the cap divisor in its order of value, each line at one threshold.
    EXPECT_EQ(layout.series[1].settings, (std::vector<size_t>{4, 3, 5}));
    const SweepOptions one = parseSweepOptions({"-t", "t", "-o", "o", "x"});
    const PlotLayout single = layoutOf({SettingSummary{one.settings[0]}});
    EXPECT_TRUE(single.varied.empty());
    EXPECT_EQ(single.labels, std::vector<std::string>{""});
    EXPECT_EQ(plotSweep({SettingSummary{one.settings[0]}}, 2, "3 of 9 photos failed").size(),
              cv::Size(900, 560));
}

TEST(SweepTruths, FilesNamedForThePhotoOnly) {
    const std::vector<std::string> files{"cat-x.npy", "cat.1.png", "cat.png",
                                         "cat2.png",  "cat_1.CSV", "cats.png"};
    EXPECT_EQ(truthFilesOf(files, "cat"),
              (std::vector<std::string>{"cat-x.npy", "cat.1.png", "cat.png", "cat_1.CSV"}));
    EXPECT_EQ(truthFilesOf(files, "cat2"), std::vector<std::string>{"cat2.png"});
}

// A truth that fits two photos' names counts for the longer one alone, with a warning; a
// photo beside those of the run counts too.
TEST(SweepTruths, LookAlikeNamesGoToTheLongestPhotoName) {
    const std::vector<std::string> files{"cat.png",   "cat_1.png", "cat_1_2.csv",
                                         "cat_2.npy", "img_1.png", "img_1_2.png"};
    TruthOwners owners = assignTruths(files, {"cat", "cat_1", "img_1"}, {"img_1_2"});
    EXPECT_EQ(owners.byPhoto["cat"], (std::vector<std::string>{"cat.png", "cat_2.npy"}));
    EXPECT_EQ(owners.byPhoto["cat_1"], (std::vector<std::string>{"cat_1.png", "cat_1_2.csv"}));
    EXPECT_EQ(owners.byPhoto["img_1"], std::vector<std::string>{"img_1.png"});
    EXPECT_EQ(owners.warnings,
              (std::vector<std::string>{
                  "ground truth 'cat_1.png' counts for photo 'cat_1' only, not for 'cat'",
                  "ground truth 'cat_1_2.csv' counts for photo 'cat_1' only, not for 'cat'",
                  "ground truth 'img_1_2.png' counts for photo 'img_1_2' only, not for 'img_1'"}));
    owners = assignTruths(files, {"cat"}, {"cat"});  // no photo cat_1 anywhere: all cat's
    EXPECT_EQ(owners.byPhoto["cat"].size(), 4u);
    EXPECT_TRUE(owners.warnings.empty());
}

// CSV truths are the photo's table: read a number at a time, BOM skipped, a transposed or
// reshaped table refused, and what follows the numbers named.
TEST(SweepTruths, CsvTruthsHaveThePhotosRowsAndColumns) {
    const std::string dir = makeScratchDir("sweep_truths");
    const std::string path = dir + "/t.csv";
    const cv::Size size(3, 2);  // 2 rows of 3
    writeFile(path,
              "\xEF\xBB\xBF"
              "1, 2, 3\r\n4, 5, 6\r\n\n");
    EXPECT_EQ(readTruth(path, size)(1, 2), 6);
    const auto refusal = [&](const std::string& text) {
        writeFile(path, text);
        try {
            readTruth(path, size);
        } catch (const std::runtime_error& e) {
            return std::string(e.what()).substr(path.size() + 16);
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal("1, 2\n3, 4\n5, 6\n"),
              "has 3 lines of 2 numbers: it is transposed; the photo needs 2 lines of 3 numbers");
    EXPECT_EQ(refusal("1, 2, 3, 4, 5, 6\n"),
              "does not have the photo's rows and columns: it needs 2 lines of 3 numbers");
    EXPECT_EQ(refusal(std::string("1 2 3\n4 5 6\n\0", 13)),
              "holds a NUL byte after the photo's 6 numbers");
    EXPECT_EQ(refusal("1 2 3\n4 5 6\n7\n"), "holds more numbers than the photo's pixels");
    EXPECT_NE(refusal("1 2 3\n4 5 " + std::string(10 << 20, '7')).find("'77777777777"),
              std::string::npos);
    removeScratchDir(dir);
}

TEST(SweepTable, LinesReadBackAsWritten) {
    SweepRow row = rowOf("a, \"b\"", photoParameters(false));
    row.setting.threshold = 0.1f;
    row.scores.boundaryRecall = 1.0 / 3;
    row.scores.count = 7;
    std::string line = sweepLine(row);
    line.pop_back();
    const std::optional<SweepRow> back = parseSweepLine(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->photo, row.photo);
    EXPECT_EQ(back->setting.threshold, 0.1f);
    EXPECT_EQ(back->scores.boundaryRecall, 1.0 / 3);
    EXPECT_TRUE(std::isnan(back->scores.explainedVariation));
    EXPECT_FALSE(parseSweepLine(line.substr(0, 12)));
    // Counts and whole knobs out of their range are no row.
    for (const char* count : {"1e300", "-1", "2.5", "nan"}) {
        SweepRow copy = row;
        copy.scores.count = 123456;
        std::string text = sweepLine(copy);
        text.replace(text.find(",123456,"), 8, std::string(",") + count + ",");
        EXPECT_FALSE(parseSweepLine(text.substr(0, text.size() - 1))) << count;
    }
}

// --resume reads the table's records, quoted line feeds and a photo named "photo" too,
// and keeps only rows made from the same inputs with the same options.
TEST(SweepTable, ResumeKeepsRowsMadeFromTheSameInputs) {
    const std::vector<Parameters> settings = {photoParameters(false)};
    const std::map<std::string, std::string> inputs = {{"photo", "0123456789abcdef"},
                                                       {"new\nline", "0123456789abcdef"},
                                                       {"b", "fedcba9876543210"}};
    std::string table = sweepHeader();
    for (const char* name : {"photo", "new\nline", "b"}) {
        SweepRow row = rowOf(name, settings[0]);
        row.setting.threads = 1;
        row.inputs = "0123456789abcdef";  // b's photo changed since
        table += sweepLine(row);
    }
    SweepRow other = rowOf("photo", settings[0]);
    other.inputs = "0123456789abcdef";
    other.tolerance = 3;
    const std::string dir = makeScratchDir("sweep_record");
    const auto keptFrom = [&](const std::string& text, int tolerance) {
        writeFile(dir + "/sweep.csv", text);
        FinishedRows finished(inputs, settings, tolerance, false);
        const int fd = ::open((dir + "/sweep.csv").c_str(), O_RDONLY);
        EXPECT_TRUE(readRecords(fd, 1 << 20, [&](const std::string& r) { finished.take(r); }));
        ::close(fd);
        std::vector<std::string> names;
        for (const SweepRow& row : finished.kept()) names.push_back(row.photo);
        return std::make_pair(names, finished.currentFormat());
    };
    EXPECT_EQ(keptFrom(table, 2),
              std::make_pair(std::vector<std::string>{"new\nline", "photo"}, true));
    EXPECT_EQ(keptFrom(table + sweepLine(other), 2).first.size(), 2u);
    EXPECT_EQ(keptFrom(table, 3).first, std::vector<std::string>{});
    const std::string old = "photo,threshold,sigma,cap_divisor,min_size,count\n";
    EXPECT_EQ(keptFrom(old + table.substr(sweepHeader().size()), 2),
              std::make_pair(std::vector<std::string>{}, false));
    removeScratchDir(dir);
}

// The sort and the means take each setting's place from an index, not a search per row.
TEST(SweepTable, SortAndSummaryOfManySettingsStayFast) {
    std::vector<Parameters> settings(20000, photoParameters(false));
    for (size_t k = 0; k < settings.size(); ++k) settings[k].threshold = float(k);
    std::vector<SweepRow> rows;
    for (const char* name : {"b", "a"}) {
        for (size_t k = settings.size(); k-- > 0;) rows.push_back(rowOf(name, settings[k]));
    }
    sortRows(rows, {"a", "b"}, settings);
    EXPECT_EQ(rows.front().photo, "a");
    EXPECT_EQ(rows[1].setting.threshold, 1.0f);
    const std::vector<SettingSummary> summary = summarise(rows, settings);
    EXPECT_EQ(summary.back().photos, 2);
}

// The grammar of the other programs: joined values in both forms, and --version alone.
TEST(SweepOptions, JoinedValuesAndVersion) {
    const SweepOptions joined =
        parseSweepOptions({"-tt", "-oo", "--threshold=300,1000", "-j2", "x"});
    const SweepOptions apart =
        parseSweepOptions({"-t", "t", "-o", "o", "--threshold", "300,1000", "-j", "2", "x"});
    EXPECT_EQ(joined.truthDir, "t");
    EXPECT_EQ(joined.outputDir, apart.outputDir);
    EXPECT_EQ(joined.jobs, 2);
    EXPECT_EQ(joined.settings.size(), apart.settings.size());
    EXPECT_TRUE(parseSweepOptions({"--version"}).version);
}

// Values equal as the engine takes them are one setting, said once; option words are
// checked before a value is taken; '-' is no option but the list on standard input.
TEST(SweepOptions, KnobListsAreNormalised) {
    const SweepOptions o = parseSweepOptions(
        {"-t", "t", "-o", "o", "--threshold", "300,300.00001,1e2", "--min-size", "5,05", "x"});
    EXPECT_EQ(o.settings.size(), 2u);
    EXPECT_EQ(o.notes, (std::vector<std::string>{
                           "--threshold: '300.00001' is the engine's '300'; taken once",
                           "--min-size: '05' is the engine's '5'; taken once"}));
    const auto error = [](const std::vector<std::string>& words) {
        try {
            parseSweepOptions(words);
        } catch (const SweepUsageError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(error({"--help", "--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(parseSweepOptions({"-t", "t", "-o", "o", "-"}).inputs,
              (std::vector<std::string>{"-"}));
}

// Each knob list varies its own knob, the last one fastest; the others keep the defaults of
// segmora.h, which the help states.
TEST(SweepOptions, KnobListsCombineOverTheHeadersDefaults) {
    const std::vector<Parameters> settings =
        parseSweepOptions({"-tt", "-oo", "--min-size=0,9", "--cap-divisor", "7,8", "x"}).settings;
    ASSERT_EQ(settings.size(), 4u);
    const Parameters defaults = photoParameters(false);
    EXPECT_EQ(settings[1].capDivisor, 7);
    EXPECT_EQ(settings[1].minSize, 9);
    EXPECT_EQ(settings[2].capDivisor, 8);
    EXPECT_EQ(settings[2].minSize, 0);
    EXPECT_EQ(settings[3].threshold, defaults.threshold);
    EXPECT_EQ(settings[3].sigma, defaults.sigma);
    const std::string usage = sweepUsage();
    EXPECT_NE(usage.find("--cap-divisor LIST   cap divisors >= 1 (default " +
                         std::to_string(defaults.capDivisor) + ")\n"),
              std::string::npos);
    EXPECT_NE(usage.find("--min-size LIST      minimum sizes >= 0 (default " +
                         std::to_string(kMinSegmentSize) + ")\n"),
              std::string::npos);
}

}  // namespace
}  // namespace segmora
