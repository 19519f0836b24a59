#include "label_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <tuple>

#include "npy_array.h"
#include "scratch_dir_test.h"
#include "test_tiffs.h"
#include "tiff_photo.h"
#include "tiled_photo_writer.h"

namespace segmora {
namespace {

// Labels of a w x h image, far apart and, for 64 bits, beyond 32 bits.
std::vector<int64_t> someLabels(int64_t w, int64_t h, int bits) {
    std::mt19937_64 random(static_cast<uint64_t>(w * 131 + h));
    std::vector<int64_t> labels(static_cast<size_t>(w * h));
    const int64_t top = bits == 32 ? INT32_MAX : INT64_MAX;
    for (int64_t& label : labels) label = 1 + static_cast<int64_t>(random() % uint64_t(top));
    return labels;
}

// Writes the labels as pieces of a grid of pw x ph rectangles, in a shuffled order.
void writeShuffled(LabelWriter& writer, const std::vector<int64_t>& labels, int64_t w, int64_t h,
                   int64_t pw, int64_t ph) {
    std::vector<cv::Rect> pieces;
    for (int64_t y = 0; y < h; y += ph) {
        for (int64_t x = 0; x < w; x += pw) {
            pieces.emplace_back(int(x), int(y), int(std::min(pw, w - x)), int(std::min(ph, h - y)));
        }
    }
    std::shuffle(pieces.begin(), pieces.end(), std::mt19937(7));
    for (const cv::Rect& r : pieces) {
        std::vector<int64_t> piece64;
        for (int y = r.y; y < r.y + r.height; ++y) {
            const auto row = labels.begin() + y * w;
            piece64.insert(piece64.end(), row + r.x, row + r.x + r.width);
        }
        if (writer.bits() == 32) {  // 32-bit labels come as the tiles give them
            const std::vector<int32_t> piece32(piece64.begin(), piece64.end());
            writer.write(r.x, r.y, r.width, r.height, piece32.data());
        } else {
            writer.write(r.x, r.y, r.width, r.height, piece64.data());
        }
    }
}

std::vector<int64_t> readNpy(const std::string& path) {
    const std::string bytes = readFile(path);
    const NpyHeader header = parseNpyHeader(bytes);
    EXPECT_EQ(header.kind, 'i');
    EXPECT_FALSE(header.fortranOrder || header.bigEndian);
    const size_t count = header.shape.at(0) * header.shape.at(1);
    EXPECT_EQ(bytes.size(), header.dataOffset + count * size_t(header.itemSize));
    std::vector<int64_t> labels(count);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + header.dataOffset);
    for (size_t i = 0; i < count; ++i) npyElement(header, data, i, labels[i]);
    return labels;
}

// Reads a label TIFF with libtiff, checking that it says what it holds.
std::vector<int64_t> readTiff(const std::string& path, int64_t w, int64_t h, int bits) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return {};
    uint32_t width = 0, height = 0, tw = 0, th = 0;
    uint16_t bitsPerSample = 0, format = 0, samples = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    EXPECT_EQ(width, w);
    EXPECT_EQ(height, h);
    EXPECT_EQ(bitsPerSample, bits);
    EXPECT_EQ(format, SAMPLEFORMAT_INT);
    EXPECT_EQ(samples, 1);
    EXPECT_TRUE(TIFFIsTiled(tif) && tw == 256 && th == 256 && TIFFIsBigEndian(tif) == 0);
    std::vector<int64_t> labels(size_t(w * h));
    std::vector<uint8_t> tile(TIFFTileSize(tif));
    for (uint32_t ty = 0; ty < height; ty += th) {
        for (uint32_t tx = 0; tx < width; tx += tw) {
            EXPECT_GT(TIFFReadEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, 0), tile.data(),
                                          tmsize_t(tile.size())),
                      0);
            for (uint32_t y = ty; y < std::min(height, ty + th); ++y) {
                for (uint32_t x = tx; x < std::min(width, tx + tw); ++x) {
                    const uint8_t* at = tile.data() + ((y - ty) * tw + (x - tx)) * (bits / 8);
                    int64_t value = 0;
                    if (bits == 32) {
                        value = *reinterpret_cast<const int32_t*>(at);
                    } else {
                        value = *reinterpret_cast<const int64_t*>(at);
                    }
                    labels[size_t(y) * w + x] = value;
                }
            }
        }
    }
    TIFFClose(tif);
    return labels;
}

class LabelWriterTest : public ScratchDirTest {};

// Shapes with one tile (its offset kept in its directory entry), tiles cut at both edges,
// and pieces that straddle tile borders, in a shuffled order.
TEST_F(LabelWriterTest, ShuffledPiecesReadBackExactlyInEveryForm) {
    struct Shape {
        int64_t w, h, pw, ph;
    };
    for (const Shape& s : {Shape{100, 80, 100, 80}, Shape{300, 217, 37, 53},
                           Shape{600, 520, 600, 13}, Shape{513, 257, 256, 256}}) {
        for (int bits : {32, 64}) {
            const std::vector<int64_t> labels = someLabels(s.w, s.h, bits);
            const std::string npy = dir + "/labels.npy", tiff = dir + "/labels.TIF";
            for (const std::string& path : {npy, tiff}) {
                LabelWriter writer(path, s.w, s.h, bits);
                writeShuffled(writer, labels, s.w, s.h, s.pw, s.ph);
                writer.commit();
                EXPECT_EQ(uint64_t(readFile(path).size()), writer.fileSize()) << path;
            }
            const std::string shape = std::to_string(s.w) + "x" + std::to_string(s.h) + " " +
                                      std::to_string(bits) + " bits";
            EXPECT_EQ(readNpy(npy), labels) << shape;
            EXPECT_EQ(readTiff(tiff, s.w, s.h, bits), labels) << shape;
            if (bits == 32) {  // as the project's other 32-bit label files read
                cv::Mat read = cv::imread(tiff, cv::IMREAD_UNCHANGED);
                ASSERT_EQ(read.type(), CV_32S) << shape;
                EXPECT_TRUE(std::equal(labels.begin(), labels.end(), read.begin<int32_t>()))
                    << shape;
            }
            EXPECT_EQ(entryCount(dir), 2) << "temporaries left, " << shape;
        }
    }
}

TEST_F(LabelWriterTest, TiledPhotoReadsBackAsWritten) {
    const cv::Mat photo = samplePhoto(530, 300);
    const std::string path = dir + "/photo.tif";
    TiledPhotoWriter writer(path, 530, 300, 128);
    for (const cv::Rect& r :
         {cv::Rect(0, 150, 530, 150), cv::Rect(200, 0, 330, 150), cv::Rect(0, 0, 200, 150)}) {
        writer.write(r.x, r.y, photo(r));
    }
    writer.commit();
    TiffPhoto read(path);
    EXPECT_EQ(cv::norm(read.readRect(0, 0, 530, 300), photo, cv::NORM_INF), 0);
    EXPECT_EQ(cv::norm(cv::imread(path, cv::IMREAD_COLOR), photo, cv::NORM_INF), 0);
}

// The piece the caller got wrong: refused, and the file stays unfinished.
TEST_F(LabelWriterTest, BadPiecesAndMissingPixelsAreRefusedAndLeaveNoFile) {
    const std::string path = dir + "/labels.npy";
    writeFile(path, "earlier");
    {
        LabelWriter writer(path, 20, 10, 32);
        const std::vector<int64_t> big(200, int64_t(1) << 31);
        const std::vector<int32_t> ones(200, 1);
        EXPECT_THROW(writer.write(15, 0, 10, 10, ones.data()), std::invalid_argument);
        EXPECT_THROW(writer.write(0, 0, 0, 10, ones.data()), std::invalid_argument);
        EXPECT_THROW(writer.write(0, 0, 10, 10, big.data()), std::invalid_argument);
        writer.write(0, 0, 10, 10, ones.data());
        EXPECT_THROW(writer.write(0, 0, 10, 10, ones.data()), std::invalid_argument);
        try {
            writer.commit();
            ADD_FAILURE() << "an unfinished file was committed";
        } catch (const std::logic_error& e) {
            EXPECT_NE(std::string(e.what()).find("100 of its 200 pixels were never written"),
                      std::string::npos)
                << e.what();
        }
    }
    EXPECT_EQ(readFile(path), "earlier");
    EXPECT_EQ(entryCount(dir), 1);
    EXPECT_THROW(LabelWriter(dir + "/labels.png", 2, 2, 32), std::runtime_error);
    ASSERT_EQ(::mkfifo((dir + "/pipe.npy").c_str(), 0600), 0);
    EXPECT_THROW(LabelWriter(dir + "/pipe.npy", 2, 2, 32), std::runtime_error);
    EXPECT_THROW(LabelWriter(dir + "/", 2, 2, 32, LabelWriter::Form::Npy), std::runtime_error);
    EXPECT_EQ(entryCount(dir), 2);
    EXPECT_THROW(LabelWriter(dir + "/labels.npy", 2, 2, 16), std::invalid_argument);
}

TEST_F(LabelWriterTest, NotEnoughFreeSpaceIsRefusedBeforeWriting) {
    struct statvfs space;
    ASSERT_EQ(::statvfs(dir.c_str(), &space), 0);
    const double available = double(space.f_bavail) * double(space.f_frsize);
    // 8 TB as an array, 2 TB as a TIFF (whose directory still fits in memory)
    for (const auto& [path, side, size] :
         {std::tuple{dir + "/labels.npy", int64_t(1000000), "(8000.0 GB)"},
          std::tuple{dir + "/labels.tif", int64_t(500000), "(2001.9 GB)"}}) {
        if (double(side) * double(side) * 8 < available) continue;  // a disk that large
        try {
            LabelWriter writer(path, side, side, 64);
            ADD_FAILURE() << path << " was accepted";
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("cannot write label file '" + path + "': it needs ", 0), 0u)
                << message;
            EXPECT_NE(message.find(std::string(" bytes ") + size + " and its folder has "),
                      std::string::npos)
                << message;
        }
    }
    EXPECT_EQ(entryCount(dir), 0);
}

// Writes a 64 x 64 label file whose writes fail, as on a full disk, once the file would
// pass `limit` bytes. Returns 0 when the write failed with the file named, 1 when it did
// not fail, 2 when the message was wrong.
int writeUnderLimit(const std::string& path, rlim_t limit, bool limitAfterOpening) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
    const rlimit fileSize{limit, limit};
    try {
        if (!limitAfterOpening) ::setrlimit(RLIMIT_FSIZE, &fileSize);
        LabelWriter writer(path, 64, 64, 64);
        if (limitAfterOpening) ::setrlimit(RLIMIT_FSIZE, &fileSize);
        const std::vector<int64_t> labels(64 * 32, 5);
        writer.write(0, 32, 64, 32, labels.data());
        writer.write(0, 0, 64, 32, labels.data());
        writer.commit();
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        return message.find("'" + path + "'") != std::string::npos &&
                       message.find("File too large") != std::string::npos
                   ? 0
                   : 2;
    }
    return 1;
}

// The same in a child process, whose limit ends with it; returns its exit status.
int writeUnderFileSizeLimit(const std::string& path, rlim_t limit, bool limitAfterOpening) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(writeUnderLimit(path, limit, limitAfterOpening));
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(LabelWriterTest, AFailedWriteRemovesTheTemporaryAndLeavesNothingUnderTheName) {
    const std::string path = dir + "/labels.npy";
    EXPECT_EQ(writeUnderFileSizeLimit(path, 4096, false), 0) << "when space is reserved";
    EXPECT_EQ(entryCount(dir), 0);
    EXPECT_EQ(writeUnderFileSizeLimit(path, 4096, true), 0) << "halfway through the pieces";
    EXPECT_EQ(entryCount(dir), 0);
    EXPECT_EQ(writeUnderFileSizeLimit(path, 1 << 20, true), 1) << "room enough";
    EXPECT_EQ(readNpy(path), std::vector<int64_t>(64 * 64, 5));
}

}  // namespace
}  // namespace segmora
