#include "region_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "scratch_files.h"

namespace segmora {
namespace {

class RegionFile : public ::testing::Test {
  protected:
    std::string write(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Reads into a rows x cols map pre-filled with 1; returns the cells.
    std::vector<int> read(const std::string& text, int rows, int cols) {
        cv::Mat_<int> regions(rows, cols, 1);
        readRegionFile(write(text), regions);
        return std::vector<int>(regions.begin(), regions.end());
    }
    std::string errorOf(const std::string& text, int rows, int cols) {
        try {
            read(text, rows, cols);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "";
    }
    // Each test has a directory of its own: CTest runs them side by side.
    void TearDown() override { removeScratchDir(dir); }

    std::string dir =
        makeScratchDir(std::string("region_file_") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string path = dir + "/regions.txt";
};

TEST_F(RegionFile, LayoutSignsAndExtrasDoNotMatter) {
    const std::vector<int> expected = {5, -3, 7, 2147483647, -2147483648, 0};
    for (const std::string& text : std::vector<std::string>{
             "5 -3 7\n2147483647 -2147483648 +0\n", "5\n-3\n7\n2147483647\n-2147483648\n0\n",
             "\t 5 -3 7 2147483647   -2147483648 0 99 junk",
             "\xEF\xBB\xBF"
             "5 -3 7\r\n2147483647 -2147483648 0\r\n",
             // Leading zeros within the 64 bytes of the longest token.
             std::string(63, '0') + "5 -" + std::string(62, '0') +
                 "3 7 2147483647 -2147483648 0"}) {
        EXPECT_EQ(read(text, 2, 3), expected) << text;
    }
}

TEST_F(RegionFile, BadTokensNameTheirPosition) {
    struct Case {
        std::string text, message;
    };
    const std::vector<Case> cases = {
        {"1 2 3 4 word 6",
         "number 5 (row 1, column 1) is not a whole number in the 32-bit range: 'word'"},
        {"1 2 7.5 4 5 6",
         "number 3 (row 0, column 2) is not a whole number in the 32-bit range: '7.5'"},
        {"1e3 2 3 4 5 6", "number 1 (row 0, column 0)"},
        {"1 2147483648 3 4 5 6", "number 2 (row 0, column 1)"},
        {"1 2 3 -2147483649 5 6", "number 4 (row 1, column 0)"},
        {"1 2 3 4 - 6", "number 5 (row 1, column 1)"},
        {std::string("1 2\0 3 4 5 6", 12),
         "number 2 (row 0, column 1) is not a whole number in the 32-bit range: '2?'"},
        {"\xEF\xBB"
         "5 6 7 8 9 10",
         "number 1 (row 0, column 0) is not a whole number in the 32-bit range: '??5'"},
        {"\xEF 5 6 7 8 9 10",
         "number 1 (row 0, column 0) is not a whole number in the 32-bit range: '?'"},
        {"1 \xEF\xBB\xBF"
         "2 3 4 5 6",
         "number 2 (row 0, column 1)"},
        {"1 2 " + std::string(63, '0') + "17 4 5 6", "number 3 (row 0, column 2)"},
        {std::string(100000, '0'), "number 1 (row 0, column 0)"},
        {"1 2 3 4",
         "holds 4 numbers, but the image has 6 pixels; number 5 (row 1, column 1) is missing"},
        {"", "holds 0 numbers"},
    };
    for (const Case& c : cases) {
        const std::string message = errorOf(c.text, 2, 3);
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_NE(message.find(path), std::string::npos) << message;
    }
}

TEST_F(RegionFile, CommaSeparatedLabelFilesReadBackAndOtherSeparatorsAreNamed) {
    const std::vector<int> expected = {5, -3, 7, 2147483647, -2147483648, 0};
    for (const std::string& text : std::vector<std::string>{
             "5, -3, 7\n2147483647, -2147483648, 0\n\n",  // as the programs write it
             "5,-3,7\r\n2147483647,-2147483648,0", "5 ,-3 , 7,\n2147483647 -2147483648,0,\n",
             "\xEF\xBB\xBF"
             "5, -3, 7, 2147483647, -2147483648, 0"}) {
        EXPECT_EQ(read(text, 2, 3), expected) << text;
    }
    EXPECT_EQ(read("1, 2, 3\n", 1, 3), (std::vector<int>{1, 2, 3})) << "one row, one line feed";
    struct Case {
        std::string text, message;
    };
    const std::vector<Case> cases = {
        {"1;2;3\n4;5;6\n",
         "number 1 (row 0, column 0) is followed by ';': numbers are separated by white space "
         "or commas, not ';'"},
        {"1, 2, 3\n4|5|6", "number 4 (row 1, column 0) is followed by '|'"},
        {"1:2 3 4 5 6", "followed by ':'"},
        {"1, 2,, 3, 4, 5", "number 3 (row 0, column 2) is missing between two commas"},
        {", 1, 2, 3, 4, 5, 6", "number 1 (row 0, column 0) is missing before a comma"},
        {"1, 2, 3, 4, 5,", "holds 5 numbers"},
        {"1, 2, 3, 4, 5x, 6",
         "number 5 (row 1, column 1) is not a whole number in the 32-bit range: '5x'"},
    };
    for (const Case& c : cases) {
        const std::string message = errorOf(c.text, 2, 3);
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

TEST_F(RegionFile, UnreadableFilesAreErrors) {
    cv::Mat_<int> regions(1, 1, 1);
    EXPECT_THROW(readRegionFile(path + ".missing", regions), std::runtime_error);
    EXPECT_THROW(readRegionFile(dir, regions), std::runtime_error);
}

}  // namespace
}  // namespace segmora
