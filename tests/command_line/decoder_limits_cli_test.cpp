// Segmora and segmora-batch on photos and settings that ask too much of a decoder, inputs
// that are not files, names that cannot be made, and photos that record an orientation:
// each run either gives OpenCV's pixels or fails at once, cleanly, naming the real cause.
#include <sys/stat.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "cli_fixture.h"
#include "scratch_files.h"

namespace {

std::string encode(const std::string& extension, const cv::Mat& image,
                   const std::vector<int>& settings = {}) {
    std::vector<uchar> bytes;
    cv::imencode(extension, image, bytes, settings);
    return std::string(bytes.begin(), bytes.end());
}

// A one-pixel PNG whose header claims width x height pixels (with a matching CRC).
std::string pngClaiming(uint32_t width, uint32_t height) {
    std::string png = encode(".png", cv::Mat_<cv::Vec3b>(1, 1, cv::Vec3b(1, 2, 3)));
    const auto put = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(value >> (24 - 8 * i));
    };
    put(16, width);
    put(20, height);
    put(29, crc32(png.substr(12, 17)));
    return png;
}

// A progressive JPEG of `photo` with `extra` more (empty) copies of its last scan, and
// `gap` before its first scan and before each copy.
std::string jpegWithScans(const cv::Mat& photo, int extra, const std::string& gap = "") {
    std::string jpeg = encode(".jpg", photo, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    const size_t last = jpeg.rfind("\xFF\xDA");
    const size_t length = static_cast<unsigned char>(jpeg[last + 2]) << 8 |
                          static_cast<unsigned char>(jpeg[last + 3]);
    std::string scans;
    for (int i = 0; i < extra; ++i) scans += gap + jpeg.substr(last, 2 + length);
    jpeg = jpeg.substr(0, jpeg.size() - 2) + scans + jpeg.substr(jpeg.size() - 2);
    return jpeg.insert(jpeg.find("\xFF\xDA"), gap);
}

// A little-endian TIFF block whose first directory holds the orientation tag.
std::string tiffOrientation(int orientation) {
    std::string tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
    return tiff + static_cast<char>(orientation) + std::string(7, '\0');
}

// `jpeg` with an APP1 segment holding `body` first.
std::string withApp1(const std::string& jpeg, const std::string& body) {
    const size_t length = body.size() + 2;
    return jpeg.substr(0, 2) + "\xFF\xE1" + static_cast<char>(length >> 8) +
           static_cast<char>(length & 0xFF) + body + jpeg.substr(2);
}

// An uncompressed 16-bit TIFF of `samples` samples per pixel, all 7.
std::string tiffOfSamples(int width, int height, int samples) {
    std::string b;
    const auto u16 = [&](uint32_t v) {
        b += static_cast<char>(v & 0xFF), b += static_cast<char>(v >> 8);
    };
    const auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const auto tag = [&](int id, int type, uint32_t count, uint32_t value) {
        u16(id), u16(type), u32(count);
        if (type == 3 && count == 1)
            u16(value), u16(0);
        else
            u32(value);
    };
    const uint32_t bitsAt = 8 + 2 + 12 * 9 + 4, data = bitsAt + 2 * samples;
    b = std::string("II*\0", 4);
    u32(8), u16(9);
    tag(256, 3, 1, width), tag(257, 3, 1, height), tag(258, 3, samples, bitsAt);
    tag(259, 3, 1, 1), tag(262, 3, 1, 1), tag(273, 4, 1, data), tag(277, 3, 1, samples);
    tag(278, 3, 1, height), tag(279, 4, 1, width * height * samples * 2), u32(0);
    for (int s = 0; s < samples; ++s) u16(16);
    for (int i = 0; i < width * height * samples; ++i) u16(7);
    return b;
}

class DecoderLimits : public CliTest {
  protected:
    DecoderLimits() : CliTest("segmora_decoder_limits", gradientPhoto()) {}

    // segmora-batch after the shell commands `setUp`.
    ProgramRun batchUnder(const std::string& setUp, const std::vector<std::string>& words) const {
        std::vector<std::string> arguments = {"-c", setUp + "; exec \"$@\"", "sh",
                                              SEGMORA_BATCH_PROGRAM};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return runProgram("/bin/sh", arguments, dir);
    }
    // The label file Segmora must write for the photo at `path` as OpenCV's reader reads
    // it with `flags`.
    static std::string labelsAsOpenCvReads(const std::string& path, int flags) {
        const cv::Mat_<cv::Vec3b> colour = cv::imread(path, flags);
        return expectedLabelFile(colour, cv::Mat_<int>(colour.rows, colour.cols, 1), 500);
    }
};

TEST_F(DecoderLimits, ReaderLimitsOpenCvCannotReadAreOneErrorLine) {
    for (const char* name : {"OPENCV_IO_MAX_IMAGE_PIXELS", "OPENCV_IO_MAX_IMAGE_WIDTH",
                             "OPENCV_IO_MAX_IMAGE_HEIGHT"}) {
        for (const char* value : {"abc", "-1", "1e3", "", "123456789012345678901", "1kB", " 5"}) {
            SCOPED_TRACE(std::string(name) + "='" + value + "'");
            const std::string setUp = std::string("export ") + name + "='" + value + "'";
            const ProgramRun one = runUnder(setUp, {"-i", image, "-o", output});
            EXPECT_EQ(one.exitStatus, 1);
            EXPECT_EQ(one.err.rfind(std::string("Segmora: ") + name + " is '", 0), 0u) << one.err;
            EXPECT_EQ(std::count(one.err.begin(), one.err.end(), '\n'), 1) << one.err;
            const ProgramRun many = batchUnder(setUp, {"-o", dir + "/out", image});
            EXPECT_EQ(many.exitStatus, 2);
            EXPECT_EQ(many.err.rfind(std::string("segmora-batch: ") + name + " is '", 0), 0u)
                << many.err;
        }
    }
    // What OpenCV reads is still taken: digits, with KB or MB.
    for (const char* value : {"100000000", "200MB", "18446744073709551615"}) {
        const ProgramRun r =
            runUnder(std::string("export OPENCV_IO_MAX_IMAGE_PIXELS=") + value, {"-i", image});
        EXPECT_EQ(r.exitStatus, 0) << value << ": " << r.err;
    }
}

TEST_F(DecoderLimits, JpegOfEndlessScansIsRefusedBeforeDecoding) {
    const std::string endless = dir + "/scans.jpg";
    writeFile(endless, jpegWithScans(photo, 2000));
    expectCleanFailure({"-i", endless, "-o", output}, "it has more than 500 scans", "own reader");
    const ProgramRun viaOpenCv =
        runUnder("export OPENCV_IO_MAX_IMAGE_PIXELS=100000000", {"-i", endless, "-o", output});
    EXPECT_EQ(viaOpenCv.exitStatus, 1);
    EXPECT_NE(viaOpenCv.err.find("it has more than 500 scans"), std::string::npos) << viaOpenCv.err;
    // A few extra scans are decoded as OpenCV decodes them.
    const std::string some = dir + "/some.jpg";
    writeFile(some, jpegWithScans(photo, 40));
    expectLabels({"-i", some, "-o", output}, labelsAsOpenCvReads(some, cv::IMREAD_COLOR),
                 "50 scans");
}

// Bytes that the JPEG library skips before and between scans (junk, fill bytes, restart
// markers) do not hide scans from the count; with few scans the photo is still read.
TEST_F(DecoderLimits, ScanCountSkipsWhatTheDecoderSkips) {
    const std::string endless = dir + "/scans.jpg", some = dir + "/some.jpg";
    for (const std::string& gap : {std::string("\x01"), std::string("\x12\x34\xFF\x00\x56", 5),
                                   std::string("\xFF\xFF\xFF"), std::string("\xFF\xD0\xFF\xD7")}) {
        writeFile(endless, jpegWithScans(photo, 2000, gap));
        expectCleanFailure({"-i", endless, "-o", output}, "it has more than 500 scans",
                           "own reader");
        writeFile(some, jpegWithScans(photo, 40, gap));
        expectLabels({"-i", some, "-o", output}, labelsAsOpenCvReads(some, cv::IMREAD_COLOR),
                     "gap of " + std::to_string(gap.size()));
    }
}

TEST_F(DecoderLimits, InputsThatAreNotRegularFilesAreRefusedWithoutWaiting) {
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A run that waited on the FIFO is ended after 30 s and fails the test.
    const std::string guard = "(sleep 30; kill -9 $$) >/dev/null 2>&1 & :";
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"-i", fifo, "-o", output}, {"-i", image, "-r", fifo, "-o", output}}) {
        const ProgramRun r = runUnder(guard, words);
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_NE(r.err.find("'" + fifo + "': it is not a regular file but a FIFO"),
                  std::string::npos)
            << r.err;
    }
    expectCleanFailure({"-i", "/dev/null", "-o", output}, "not a regular file but a device",
                       "device");
}

TEST_F(DecoderLimits, FormatThatContradictsTheLabelFileNameIsRefused) {
    for (const auto& [name, format] : std::vector<std::pair<std::string, std::string>>{
             {"lab.npy", "csv"}, {"lab.PNG", "npy"}, {"lab.csv", "tiff"}, {"lab.tif", "png"}}) {
        const ProgramRun r = run({"-i", image, "-o", dir + "/" + name, "--format", format});
        EXPECT_EQ(r.exitStatus, 1) << name;
        EXPECT_EQ(r.err, "Segmora: label file '" + dir + "/" + name + "' is named " +
                             std::filesystem::path(name).extension().string() +
                             ", but --format asks for " + format + "; name it ." + format +
                             " or leave --format out\n");
        EXPECT_FALSE(fileExists(dir + "/" + name));
    }
    // Agreeing names and names of no label form are written in the form asked for.
    for (const auto& [name, format] : std::vector<std::pair<std::string, std::string>>{
             {"lab.tiff", "tif"}, {"lab.NPY", "npy"}, {"lab.dat", "npy"}, {"lab", "png"}}) {
        const ProgramRun r = run({"-i", image, "-o", dir + "/" + name, "--format", format});
        EXPECT_EQ(r.exitStatus, 0) << name << ": " << r.err;
        EXPECT_TRUE(fileExists(dir + "/" + name)) << name;
    }
    EXPECT_EQ(readFile(dir + "/lab.dat").substr(0, 6), "\x93NUMPY");
}

TEST_F(DecoderLimits, MessagesNameTheRealLimitAndNothingIsReplacedFirst) {
    const std::string wideFile = dir + "/wide.png";
    writeFile(wideFile, pngClaiming(536870911, 1));
    expectCleanFailure({"-i", wideFile, "-o", output},
                       "536870911 x 1 pixels is more than the PNG library reads (at most 1000000 "
                       "pixels a side)",
                       "PNG width");
    const std::string longName(251, 'g');
    expectCleanFailure({"-i", image, "-o", output, "--graph", dir + "/" + longName},
                       "its name is 261 bytes, more than the 255 a file name may have there",
                       "graph prefix");
    expectCleanFailure({"-i", image, "-o", output, "-v", dir + "/" + longName + "12345.png"},
                       "its name is 260 bytes", "picture");
#if !defined(__SANITIZE_ADDRESS__)
    // 300 MB of address space cannot hold the 675 MB picture this PNG claims.
    const std::string big = dir + "/big.png";
    writeFile(big, pngClaiming(15000, 15000));
    const ProgramRun r = runUnder("ulimit -v 300000", {"-i", big, "-o", output});
    EXPECT_EQ(r.err, "Segmora: out of memory while decoding '" + big + "'\n");
#endif
}

TEST_F(DecoderLimits, RegionMapOfSeveralSamplesIsNotOneChannel) {
    for (int samples : {2, 3}) {
        const std::string map = dir + "/samples" + std::to_string(samples) + ".tiff";
        writeFile(map, tiffOfSamples(photo.cols, photo.rows, samples));
        expectCleanFailure(
            {"-i", image, "-r", map, "-o", output},
            "is not one channel: it has " + std::to_string(samples) + " samples per pixel", map);
    }
}

TEST_F(DecoderLimits, OrientationIsOpenCvsUnlessIgnored) {
    const std::string jpeg = encode(".jpg", photo, {cv::IMWRITE_JPEG_QUALITY, 95});
    const std::string turned = dir + "/turned", upright = dir + "/upright";
    std::filesystem::create_directories(turned);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        // Half of them hold the TIFF block in an APP1 segment that is not marked Exif.
        const std::string mark = orientation % 2 ? std::string("Exif\0\0", 6) : "ABCDEF";
        const std::string path = turned + "/o" + std::to_string(orientation) + ".jpg";
        writeFile(path, withApp1(jpeg, mark + tiffOrientation(orientation)));
        SCOPED_TRACE(path);
        expectLabels({"-i", path, "-o", output}, labelsAsOpenCvReads(path, cv::IMREAD_COLOR),
                     "turned");
        expectLabels({"-i", path, "-o", output, "--ignore-orientation"},
                     labelsAsOpenCvReads(path, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION),
                     "as stored");
    }
    for (const bool ignore : {false, true}) {
        std::vector<std::string> words = {"-o", dir + "/out", turned};
        if (ignore) words.push_back("--ignore-orientation");
        ASSERT_EQ(batchUnder(":", words).exitStatus, 0);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const std::string name = "o" + std::to_string(orientation);
            EXPECT_EQ(readFile(dir + "/out/" + name + ".csv"),
                      labelsAsOpenCvReads(
                          turned + "/" + name + ".jpg",
                          cv::IMREAD_COLOR | (ignore ? cv::IMREAD_IGNORE_ORIENTATION : 0)))
                << name << (ignore ? " ignored" : "");
        }
    }
}

}  // namespace
