#include "row_bands.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <vector>

#include "label_writer.h"
#include "npy_array.h"
#include "scratch_dir_test.h"

namespace segmora {
namespace {

// Writes labels y * width + x + 1 of a width x height file of `bits` in bands of `bandRows`.
void writeInBands(const std::string& path, int64_t width, int64_t height, int bits,
                  int64_t bandRows) {
    LabelWriter writer(path, width, height, bits);
    RowBands bands(writer.file(), bandRows);
    while (bands.firstRow() < height) {
        const int64_t rows = std::min(bandRows, height - bands.firstRow());
        for (int64_t r = 0; r < rows; ++r) {
            for (int64_t x = 0; x < width; ++x) {
                const int64_t label = (bands.firstRow() + r) * width + x + 1;
                std::memcpy(bands.row(r) + x * bits / 8, &label, size_t(bits / 8));
            }
        }
        bands.writeBand(rows);
    }
    writer.commit();
}

// Whether the file holds the labels writeInBands gives it, and nothing more.
bool holdsRowOrderLabels(const std::string& path, int64_t width, int64_t height) {
    const std::string bytes = readFile(path);
    const NpyHeader header = parseNpyHeader(bytes);
    const size_t count = size_t(width * height);
    if (bytes.size() != header.dataOffset + count * size_t(header.itemSize)) return false;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + header.dataOffset);
    for (size_t i = 0; i < count; ++i) {
        int64_t label = 0;
        if (!npyElement(header, data, i, label) || label != int64_t(i) + 1) return false;
    }
    return true;
}

class RowBandsTest : public ScratchDirTest {};

// Rows of a few bytes and of more than a block, bands that end mid-block and a last band
// shorter than the others, one band for all; also where the file system refuses direct
// writes (tmpfs), which then go through the page cache.
TEST_F(RowBandsTest, BandsReadBackAsTheRowsWritten) {
    struct Shape {
        int64_t width, height, bandRows;
    };
    std::vector<std::string> folders = {dir};
    const std::string shm = "/dev/shm/row_bands_" + std::to_string(::getpid());
    if (::access("/dev/shm", W_OK) == 0 && ::mkdir(shm.c_str(), 0700) == 0) folders.push_back(shm);
    for (const std::string& folder : folders) {
        for (const Shape& s : {Shape{1000, 37, 5}, Shape{1, 9000, 700}, Shape{3, 2, 10},
                               Shape{1025, 8, 1}, Shape{4096, 3, 3}}) {
            for (const int bits : {32, 64}) {
                const std::string path = folder + "/labels.npy";
                writeInBands(path, s.width, s.height, bits, s.bandRows);
                EXPECT_TRUE(holdsRowOrderLabels(path, s.width, s.height))
                    << folder << ": " << s.width << " x " << s.height << " in bands of "
                    << s.bandRows << ", " << bits << " bits";
            }
        }
    }
    if (folders.size() > 1) removeScratchDir(folders[1]);
}

// A band write that fails (the file size limit, as a full disk would) names the file at the
// next band, and leaves no file behind. Returns 0 when it did so, 1 when nothing failed.
int writeBandsUnderLimit(const std::string& path, rlim_t limit) {
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        LabelWriter writer(path, 4096, 64, 32);
        const rlimit fileSize{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        RowBands bands(writer.file(), 8);
        while (bands.firstRow() < 64) bands.writeBand(8);
        writer.commit();
    } catch (const std::runtime_error& e) {
        return std::string(e.what()).find("'" + path + "'") != std::string::npos ? 0 : 2;
    }
    return 1;
}

TEST_F(RowBandsTest, AFailedBandWriteNamesTheFileAndLeavesNothing) {
    const std::string path = dir + "/labels.npy";
    const pid_t child = ::fork();
    if (child == 0) ::_exit(writeBandsUnderLimit(path, 300000));
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(entryCount(dir), 0);
}

}  // namespace
}  // namespace segmora
