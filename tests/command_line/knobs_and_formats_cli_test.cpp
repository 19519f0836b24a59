// The knobs, label file forms and region map forms of Segmora and segmora-batch, end to
// end: the labels must be the reference path's, in every form, and readable by numpy,
// Octave and OpenCV.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "colour_image.h"
#include "photo_channels.h"
#include "program_runner.h"
#include "scratch_files.h"
#include "segment_image_reference.h"

namespace fs = std::filesystem;

namespace {

const std::string kSegmora = SEGMORA_PROGRAM;
const std::string kBatch = SEGMORA_BATCH_PROGRAM;

struct Knobs {
    float threshold = 500, sigma = 0;
    int capDivisor = 500, minSize = 5;
};

// The label file text of the reference path for this photo.
std::string referenceLabels(const cv::Mat_<cv::Vec3b>& photo, const Knobs& knobs,
                            cv::Mat_<int> regions = cv::Mat_<int>()) {
    if (regions.empty()) regions = cv::Mat_<int>(photo.rows, photo.cols, 1);
    int count = 0;
    cv::Mat_<int> labels;
    segmora::segmentImageReference(segmora::toEngineImage(segmora::toLab(photo)), knobs.sigma,
                                   knobs.threshold, count, labels, knobs.capDivisor, regions,
                                   knobs.minSize);
    std::ostringstream text;
    text << cv::format(labels, cv::Formatter::FMT_CSV) << "\n";
    return text.str();
}

cv::Mat_<int> parseCsv(const std::string& text) {
    if (text.empty()) return {};
    std::vector<std::vector<int>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;  // the line feed after the last row's
        std::vector<int> row;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) row.push_back(std::stoi(field));
        rows.push_back(row);
    }
    cv::Mat_<int> labels(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()));
    for (int y = 0; y < labels.rows; ++y) {
        for (int x = 0; x < labels.cols; ++x) labels(y, x) = rows[y][x];
    }
    return labels;
}

// The array of a .npy file of int32 written by the programs; empty when its header is not
// the one expected.
cv::Mat_<int> readNpy(const std::string& path) {
    const std::string bytes = readFile(path);
    if (bytes.compare(0, 8, std::string("\x93NUMPY\x01\x00", 8)) != 0) return {};
    const size_t length = static_cast<unsigned char>(bytes[8]) |
                          static_cast<size_t>(static_cast<unsigned char>(bytes[9])) << 8;
    const std::string header = bytes.substr(10, length);
    int rows = 0, cols = 0;
    if ((10 + length) % 64 != 0 || header.back() != '\n' ||
        std::sscanf(header.c_str(), "{'descr': '<i4', 'fortran_order': False, 'shape': (%d, %d), }",
                    &rows, &cols) != 2 ||
        bytes.size() != 10 + length + sizeof(int) * rows * cols) {
        return {};
    }
    cv::Mat_<int> labels(rows, cols);
    std::memcpy(labels.data, bytes.data() + 10 + length, sizeof(int) * rows * cols);
    return labels;
}

// The labels of a label file in any form, read with OpenCV (and our .npy reader).
cv::Mat_<int> readLabels(const std::string& path, const std::string& form) {
    if (form == "csv") return parseCsv(readFile(path));
    if (form == "npy") return readNpy(path);
    const cv::Mat picture = cv::imread(path, cv::IMREAD_UNCHANGED);
    if (picture.depth() != (form == "png" ? CV_16U : CV_32S) || picture.channels() != 1) return {};
    cv::Mat_<int> labels;
    picture.convertTo(labels, CV_32S);
    return labels;
}

bool same(const cv::Mat_<int>& a, const cv::Mat_<int>& b) {
    return a.size() == b.size() && !a.empty() && cv::countNonZero(a != b) == 0;
}

// A .npy file of any kind: `descr` such as "<i8", the elements' bytes in file order.
void writeNpy(const std::string& path, const std::string& descr, bool fortran,
              const std::string& shape, const std::string& elements) {
    std::string header = "{'descr': '" + descr +
                         "', 'fortran_order': " + (fortran ? "True" : "False") +
                         ", 'shape': " + shape + ", }\n";
    std::string file = "\x93NUMPY\x01";
    file += '\0';
    file += static_cast<char>(header.size());
    file += '\0';
    writeFile(path, file + header + elements);
}

template <typename T>
std::string bytesOf(const cv::Mat_<int>& ids, bool fortran) {
    std::string bytes;
    for (int i = 0; i < ids.rows * ids.cols; ++i) {
        const int y = fortran ? i % ids.rows : i / ids.cols;
        const int x = fortran ? i / ids.rows : i % ids.cols;
        const T value = static_cast<T>(ids(y, x));
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    return bytes;
}

// A photo cut from a bundled sample, its region ids in three uneven bands, and runs of
// both programs on them in a scratch folder (photo in/p.png).
class KnobsAndFormats : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("knobs_and_formats_cli_test");
        fs::create_directories(dir + "/in");
        const cv::Mat source = cv::imread(std::string(SEGMORA_SAMPLES_DIR) + "/chelsea.png");
        cv::resize(source(cv::Rect(40, 30, 200, 150)), photo, cv::Size(56, 42), 0, 0,
                   cv::INTER_AREA);
        ASSERT_TRUE(cv::imwrite(dir + "/in/p.png", photo));
        regions.create(photo.rows, photo.cols);
        for (int y = 0; y < photo.rows; ++y) {
            for (int x = 0; x < photo.cols; ++x) regions(y, x) = x < 20 ? 7 : y < 25 ? 200 : 3;
        }
    }
    void TearDown() override { removeScratchDir(dir); }

    ProgramRun segmora(std::vector<std::string> words) const {
        words.insert(words.begin(), {"-i", dir + "/in/p.png"});
        return runProgram(kSegmora, words, dir);
    }
    ProgramRun batch(std::vector<std::string> words) const {
        words.insert(words.end(), {"-o", dir + "/out", dir + "/in"});
        return runProgram(kBatch, words, dir);
    }

    std::string dir;
    cv::Mat_<cv::Vec3b> photo;
    cv::Mat_<int> regions;
};

TEST_F(KnobsAndFormats, EveryKnobGivesTheReferenceLabelsThroughBothPrograms) {
    struct Case {
        std::vector<std::string> words;
        Knobs knobs;
        bool withRegions;
    };
    const std::vector<Case> cases = {
        {{"--threshold", "150"}, {150, 0, 500, 5}, false},
        {{"--threshold", "2.5e3"}, {2500, 0, 500, 5}, false},
        {{"--sigma", "0.8"}, {500, 0.8f, 500, 5}, false},
        {{"--cap-divisor", "40"}, {500, 0, 40, 5}, false},
        {{"--min-size", "30"}, {500, 0, 500, 30}, false},
        {{"--min-size", "0", "--threshold", "60"}, {60, 0, 500, 0}, false},
        {{"--cap-divisor", "25", "--sigma", "1.5"}, {500, 1.5f, 25, 5}, true},
        {{}, {500, 0, 3000, 5}, true},
    };
    writeFile(dir + "/p.txt", "");
    fs::create_directories(dir + "/regions");
    std::string regionText;
    for (int y = 0; y < regions.rows; ++y) {
        for (int x = 0; x < regions.cols; ++x) regionText += std::to_string(regions(y, x)) + " ";
    }
    writeFile(dir + "/regions/p.txt", regionText);
    for (const Case& c : cases) {
        const std::string expected =
            referenceLabels(photo, c.knobs, c.withRegions ? regions : cv::Mat_<int>());
        std::vector<std::string> words = c.words;
        if (c.withRegions) words.insert(words.end(), {"-r", dir + "/regions/p.txt"});
        std::vector<std::string> single = words;
        single.insert(single.end(), {"-o", dir + "/labels.csv"});
        const ProgramRun one = segmora(single);
        EXPECT_EQ(one.exitStatus, 0) << one.err;
        EXPECT_EQ(readFile(dir + "/labels.csv"), expected) << "Segmora " << single[0];

        if (c.withRegions) words.back() = dir + "/regions";
        const ProgramRun many = batch(words);
        EXPECT_EQ(many.exitStatus, 0) << many.err;
        EXPECT_EQ(readFile(dir + "/out/p.csv"), expected) << "segmora-batch " << single[0];
    }
}

TEST_F(KnobsAndFormats, BadValuesAreRefusedBeforeAnythingIsWritten) {
    const std::vector<std::vector<std::string>> bad = {
        {"--threshold", "-5"},  {"--threshold", "inf"}, {"--sigma", "101"},
        {"--sigma", "0,5"},     {"--cap-divisor", "0"}, {"--cap-divisor", "1e3"},
        {"--min-size", "-1"},   {"--min-size", "5x"},   {"--format", "txt"},
        {"--threshold", "0x10"}, {"--count", "0"},    {"--count", "-3"},
        {"--count", "many"},    {"--count", "5,,9"}};
    for (const std::vector<std::string>& words : bad) {
        std::vector<std::string> single = words;
        single.insert(single.end(), {"-o", dir + "/labels.csv"});
        const ProgramRun one = segmora(single);
        EXPECT_EQ(one.exitStatus, 255) << words[0] << " " << words[1];
        EXPECT_EQ(one.out, "");
        EXPECT_EQ(one.err.rfind("Segmora: " + words[0] + " wants ", 0), 0u) << one.err;
        EXPECT_NE(one.err.find("not '" + words[1] + "'; see Segmora --help\n"), std::string::npos)
            << one.err;
        const ProgramRun many = batch(words);
        EXPECT_EQ(many.exitStatus, 2) << words[0] << " " << words[1];
        EXPECT_EQ(many.err.rfind("segmora-batch: " + words[0] + " wants ", 0), 0u) << many.err;
        EXPECT_EQ(entryCount(dir), 1) << "only in/ is left";
    }
}

TEST_F(KnobsAndFormats, CountsAreExactAndSeveralCountsWriteOneFileEach) {
    const ProgramRun one = segmora({"--count", "40", "-o", dir + "/single.csv"});
    ASSERT_EQ(one.exitStatus, 0) << one.err;
    EXPECT_NE(one.out.find("Super-pixel num: 40\n"), std::string::npos) << one.out;
    const ProgramRun several = segmora({"--count", "80,40", "-o", dir + "/labels.csv"});
    ASSERT_EQ(several.exitStatus, 0) << several.err;
    EXPECT_NE(several.out.find("Super-pixel num: 80\n"), std::string::npos) << several.out;
    EXPECT_EQ(readFile(dir + "/labels.40.csv"), readFile(dir + "/single.csv"));
    EXPECT_FALSE(fs::exists(dir + "/labels.csv"));
    const ProgramRun many = batch({"--count", "40"});
    EXPECT_EQ(many.exitStatus, 0) << many.err;
    EXPECT_EQ(readFile(dir + "/out/p.csv"), readFile(dir + "/single.csv"));
    // --resume knows each count's file: the same counts are done, another count or none is
    // redone (a label file cut to 40 is not the run's own).
    ASSERT_EQ(batch({"--count", "40,80"}).exitStatus, 0);
    EXPECT_EQ(readFile(dir + "/out/p.40.csv"), readFile(dir + "/single.csv"));
    EXPECT_NE(batch({"--count", "40,80", "--resume"}).err.find("1 done before"), std::string::npos);
    EXPECT_NE(batch({"--count", "40,90", "--resume"}).err.find("0 done before"), std::string::npos);
    EXPECT_NE(batch({"--resume"}).err.find("0 done before"), std::string::npos);
    // Above the finest count: one line naming the range, nothing written.
    const ProgramRun above = segmora({"--count", "99999999", "-o", dir + "/above.csv"});
    EXPECT_NE(above.exitStatus, 0);
    EXPECT_EQ(above.err.rfind("Segmora: ", 0), 0u) << above.err;
    EXPECT_NE(above.err.find("count must be from 1 to "), std::string::npos) << above.err;
    EXPECT_EQ(std::count(above.err.begin(), above.err.end(), '\n'), 1) << above.err;
    EXPECT_FALSE(fs::exists(dir + "/above.csv"));
}

TEST_F(KnobsAndFormats, EveryLabelFormRoundTripsToTheTextLabels) {
    ASSERT_EQ(segmora({"-o", dir + "/labels.csv"}).exitStatus, 0);
    const cv::Mat_<int> text = parseCsv(readFile(dir + "/labels.csv"));
    struct Case {
        std::vector<std::string> words;
        std::string file, form;
    };
    const std::vector<Case> cases = {
        {{}, "l.png", "png"},
        {{}, "l.npy", "npy"},
        {{}, "l.tif", "tiff"},
        {{}, "l.TIFF", "tiff"},
        {{"--format", "npy"}, "l.dat", "npy"},
        {{"--format", "csv"}, "l.out", "csv"},
        {{}, "l.txt", "csv"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = c.words;
        words.insert(words.begin(), {"-o", dir + "/" + c.file});
        const ProgramRun run = segmora(words);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.out, "image_path: " + dir + "/in/p.png\noutput_path: " + dir + "/" + c.file +
                               "\nSegment the image...\nSuper-pixel num: " +
                               std::to_string(*std::max_element(text.begin(), text.end())) + "\n");
        EXPECT_TRUE(same(readLabels(dir + "/" + c.file, c.form), text)) << c.file;
        if (c.form == "csv") {
            EXPECT_EQ(readFile(dir + "/" + c.file), readFile(dir + "/labels.csv"));
        }
        fs::remove(dir + "/" + c.file);
    }
    for (const std::string form : {"csv", "png", "npy", "tiff"}) {
        const ProgramRun run = batch({"--format", form});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_TRUE(same(readLabels(dir + "/out/p." + form, form), text)) << form;
        ASSERT_EQ(segmora({"-o", dir + "/segmora." + form}).exitStatus, 0);
        EXPECT_EQ(readFile(dir + "/out/p." + form), readFile(dir + "/segmora." + form)) << form;
        fs::remove_all(dir + "/out");
    }
}

TEST_F(KnobsAndFormats, NumpyOctaveAndOpenCvReadTheLabelFilesBack) {
    for (const std::string form : {"csv", "png", "npy", "tiff"}) {
        ASSERT_EQ(segmora({"-o", dir + "/l." + form}).exitStatus, 0);
    }
    const std::string python =
        "import numpy as np\n"
        "try:\n"
        "    from PIL import Image\n"
        "except ImportError:\n"
        "    Image = None\n"
        "d = '" +
        dir +
        "/'\n"
        "t = np.loadtxt(d + 'l.csv', delimiter=',', dtype=np.int32)\n"
        "n = np.load(d + 'l.npy')\n"
        "assert n.dtype == np.int32 and t.shape == (42, 56) and (n == t).all()\n"
        "if Image:\n"
        "    p = np.asarray(Image.open(d + 'l.png')).astype(np.int32)\n"
        "    f = np.asarray(Image.open(d + 'l.tiff'))\n"
        "    assert f.dtype == np.int32 and (p == t).all() and (f == t).all(), f.dtype\n"
        "print('same')\n";
    writeFile(dir + "/read.py", python);
    const ProgramRun numpy = runProgram(PYTHON_PROGRAM, {dir + "/read.py"}, dir);
    EXPECT_EQ(numpy.out, "same\n") << numpy.err;

    if (std::string(OCTAVE_PROGRAM).empty()) GTEST_SKIP() << "no Octave";
    // .npy through fread, as docs/label-files.md shows; the PNG through imread.
    const std::string octave =
        "d = '" + dir +
        "/';\n"
        "t = dlmread([d 'l.csv'], ',');\n"
        "p = imread([d 'l.png']);\n"
        "f = fopen([d 'l.npy']); h = fread(f, 10, 'uint8'); hd = fread(f, h(9) + 256 * h(10), "
        "'char=>char')';\n"
        "s = str2double(regexp(hd, '(\\d+), (\\d+)', 'tokens'){1});\n"
        "n = fread(f, [s(2) s(1)], 'int32=>int32')'; fclose(f);\n"
        "assert(isequal(class(p), 'uint16') && isequal(double(p), t) && isequal(double(n), t));\n"
        "disp('same');\n";
    writeFile(dir + "/read.m", octave);
    const ProgramRun octaveRun =
        runProgram(OCTAVE_PROGRAM, {"--no-gui", "--norc", "--quiet", dir + "/read.m"}, dir);
    EXPECT_EQ(octaveRun.out, "same\n") << octaveRun.err;
}

TEST_F(KnobsAndFormats, TooManyLabelsForAPngAreRefusedWithNothingWritten) {
    cv::Mat_<cv::Vec3b> noise(300, 300);
    cv::RNG random(7);
    random.fill(noise, cv::RNG::UNIFORM, 0, 256);
    ASSERT_TRUE(cv::imwrite(dir + "/in/p.png", noise));
    const std::vector<std::string> many = {"--threshold", "0", "--min-size", "0"};
    std::vector<std::string> words = many;
    words.insert(words.end(), {"-o", dir + "/l.png", "-v", dir + "/picture.png"});
    const ProgramRun run = segmora(words);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out.find("Super-pixel num"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Segmora: label file '" + dir + "/l.png': "), std::string::npos);
    EXPECT_NE(run.err.find(" superpixels do not fit a 16-bit PNG (at most 65535); use .tiff or "
                           ".npy\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(entryCount(dir), 1) << "no label file, picture or temporary file";

    words = many;
    words.insert(words.end(), {"--format", "png"});
    const ProgramRun batchRun = batch(words);
    EXPECT_EQ(batchRun.exitStatus, 1);
    EXPECT_NE(batchRun.err.find("use .tiff or .npy"), std::string::npos) << batchRun.err;
    // Only the batch's list of finished files, which lists nothing.
    EXPECT_EQ(entryCount(dir + "/out"), 1);
    EXPECT_EQ(readFile(dir + "/out/.segmora-batch-done"), "");

    words = many;
    words.insert(words.end(), {"-o", dir + "/l.npy"});
    ASSERT_EQ(segmora(words).exitStatus, 0);
    const cv::Mat_<int> labels = readNpy(dir + "/l.npy");
    ASSERT_FALSE(labels.empty());
    EXPECT_GT(*std::max_element(labels.begin(), labels.end()), 65535);
}

TEST_F(KnobsAndFormats, RegionMapsInEveryFormGiveTheTextFormsLabels) {
    std::string text;
    for (int y = 0; y < regions.rows; ++y) {
        for (int x = 0; x < regions.cols; ++x) text += std::to_string(regions(y, x)) + " ";
    }
    writeFile(dir + "/r.txt", text);
    ASSERT_EQ(segmora({"-r", dir + "/r.txt", "-o", dir + "/text.csv"}).exitStatus, 0);
    const std::string expected = readFile(dir + "/text.csv");
    ASSERT_EQ(expected, referenceLabels(photo, {500, 0, 3000, 5}, regions));

    cv::Mat grey8, grey16;
    regions.convertTo(grey8, CV_8U);
    cv::Mat_<int> spread = regions * 300 - 1000;  // 16-bit and signed 32-bit values
    cv::Mat(spread + 1000).convertTo(grey16, CV_16U);
    ASSERT_TRUE(cv::imwrite(dir + "/r8.png", grey8));
    ASSERT_TRUE(cv::imwrite(dir + "/r16.png", grey16));
    ASSERT_TRUE(cv::imwrite(dir + "/r.tif", cv::Mat(spread * -7000)));
    const std::string shape = "(42, 56)";
    writeNpy(dir + "/i64.npy", "<i8", false, shape, bytesOf<int64_t>(spread * -7000, false));
    writeNpy(dir + "/u8f.npy", "|u1", true, shape, bytesOf<uint8_t>(regions, true));
    writeNpy(dir + "/i16.npy", ">i2", false, shape, bytesOf<int16_t>(regions - 100, false));
    writeNpy(dir + "/u32.npy", "<u4", false, shape, bytesOf<uint32_t>(regions, false));
    for (const char* map :
         {"r8.png", "r16.png", "r.tif", "i64.npy", "u8f.npy", "i16.npy", "u32.npy"}) {
        const ProgramRun run = segmora({"-r", dir + "/" + map, "-o", dir + "/l.csv"});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(readFile(dir + "/l.csv"), expected) << map;
    }
    // segmora-batch takes REGION_DIR/NAME with any of the extensions.
    fs::create_directories(dir + "/regions");
    fs::copy_file(dir + "/i64.npy", dir + "/regions/p.npy");
    const ProgramRun run = batch({"-r", dir + "/regions"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(readFile(dir + "/out/p.csv"), expected);
}

TEST_F(KnobsAndFormats, LabelFilesFeedBackInAsRegionMaps) {
    // Coarse superpixels first, then finer ones inside them.
    for (const std::string form : {"csv", "npy"}) {
        const ProgramRun run = segmora({"--cap-divisor=8", "-o", dir + "/coarse." + form});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
    }
    const cv::Mat_<int> coarse = parseCsv(readFile(dir + "/coarse.csv"));
    ASSERT_TRUE(same(coarse, readNpy(dir + "/coarse.npy")));
    const std::string expected = referenceLabels(photo, {500, 0, 3000, 5}, coarse);
    for (const std::string form : {"csv", "npy"}) {
        const ProgramRun run = segmora({"-r", dir + "/coarse." + form, "-o", dir + "/fine.csv"});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(readFile(dir + "/fine.csv"), expected) << form;
    }
    // segmora-batch takes an earlier run's label folder as its region folder.
    ASSERT_EQ(batch({"--cap-divisor", "8"}).exitStatus, 0);
    fs::rename(dir + "/out", dir + "/coarse");
    const ProgramRun run = batch({"-r", dir + "/coarse"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(readFile(dir + "/out/p.csv"), expected);
}

TEST_F(KnobsAndFormats, RegionMapsOfTheWrongSizeKindOrRangeAreRefused) {
    cv::Mat colour(42, 56, CV_8UC3, cv::Scalar(1, 2, 3));
    ASSERT_TRUE(cv::imwrite(dir + "/small.png", cv::Mat(40, 56, CV_8U, cv::Scalar(1))));
    ASSERT_TRUE(cv::imwrite(dir + "/colour.png", colour));
    ASSERT_TRUE(cv::imwrite(dir + "/float.tif", cv::Mat(42, 56, CV_32F, cv::Scalar(1))));
    const std::string shape = "(42, 56)", cells(42 * 56, '\0');
    writeNpy(dir + "/float.npy", "<f4", false, shape, cells + cells + cells + cells);
    writeNpy(dir + "/cube.npy", "|u1", false, "(42, 56, 1)", cells);
    writeNpy(dir + "/wide.npy", "|u1", false, "(56, 42)", cells);
    writeNpy(dir + "/short.npy", "<i4", false, shape, cells);
    std::string big = bytesOf<int64_t>(regions, false);
    const int64_t tooBig = int64_t{1} << 31;
    std::memcpy(&big[8 * 60], &tooBig, 8);
    writeNpy(dir + "/big.npy", "<i8", false, shape, big);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"small.png", "is 56 x 40 pixels, but the image is 56 x 42"},
        {"colour.png", "is not a grey picture of whole numbers"},
        {"float.tif", "is not a grey picture of whole numbers"},
        {"float.npy", "is not an array of integers"},
        {"cube.npy", "is not a two-dimensional array: it has 3 dimensions"},
        {"wide.npy", "is 42 x 56 pixels, but the image is 56 x 42"},
        {"short.npy", "holds 588 numbers, but the image has 2352 pixels"},
        {"big.npy",
         ": number 61 (row 1, column 4) is not a whole number in the 32-bit range: 2147483648"},
    };
    for (const auto& [map, why] : cases) {
        const ProgramRun run = segmora({"-r", dir + "/" + map, "-o", dir + "/l.csv"});
        EXPECT_EQ(run.exitStatus, 1) << map;
        const std::string start =
            "Segmora: region file '" + dir + "/" + map + "'" + (why[0] == ':' ? "" : " ") + why;
        EXPECT_EQ(run.err.rfind(start, 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_FALSE(fileExists(dir + "/l.csv"));
    }
}

}  // namespace
