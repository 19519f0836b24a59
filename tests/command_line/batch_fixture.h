#pragma once

// The fixture of the segmora-batch tests in hostile use: photos cut from the bundled
// samples in a scratch folder, Segmora's label file for each, and runs of the batch as
// this user or as nobody.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <thread>

#include "foreign_threads.h"
#include "program_runner.h"
#include "scratch_files.h"

namespace fs = std::filesystem;

namespace batch_test {

const std::string kBatch = SEGMORA_BATCH_PROGRAM;
const std::string kSegmora = SEGMORA_PROGRAM;
const std::string kSetpriv = "/usr/bin/setpriv";
constexpr int kNobody = 65534;

using Clock = std::chrono::steady_clock;

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::vector<std::string> hiddenEntries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.' && name != ".segmora-batch-done") names.push_back(name);
    }
    return names;
}

inline bool isRegularFile(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The status of a started program, or -1 when it is still running after `seconds`.
inline int waitWithin(pid_t pid, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    do {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (Clock::now() < deadline);
    return -1;
}

// Waits for a hung program a last time after SIGKILL, so that no test leaves it behind.
inline int endHungProgram(pid_t pid) {
    ::kill(pid, SIGKILL);
    return waitForProgram(pid);
}

inline bool waitForFile(const std::function<bool()>& ready, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!ready()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A folder of photos cut from a bundled sample, and Segmora's label file for each.
class BatchFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("segmora_batch_hostile_test");
        ::chmod(dir.c_str(), 0755);  // for the runs as another user
        fs::create_directories(dir + "/in");
    }
    void TearDown() override { removeScratchDir(dir); }

    // Writes in/FILE (FILE may name folders below in/), WIDTH x HEIGHT, from a sample
    // chosen by `seed`.
    std::string addPhoto(const std::string& file, int width, int height, int seed = 0) {
        static const char* samples[] = {"chelsea.png", "coffee.png", "astronaut.png"};
        const cv::Mat source =
            cv::imread(std::string(SEGMORA_SAMPLES_DIR) + "/" + samples[seed % 3]);
        cv::Mat photo;
        cv::resize(source(cv::Rect(10 + seed % 40, 10, 200, 150)), photo, cv::Size(width, height),
                   0, 0, cv::INTER_AREA);
        const std::string path = dir + "/in/" + file;
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(cv::imwrite(path, photo));
        return path;
    }

    // Segmora's label file for a photo, made once per photo.
    const std::string& segmoraLabels(const std::string& photo) {
        std::string& labels = expected[photo];
        if (labels.empty()) {
            const ProgramRun run = runProgram(kSegmora, {"-i", photo, "-o", dir + "/ref.csv"}, dir);
            EXPECT_EQ(run.exitStatus, 0) << run.err;
            labels = readFile(dir + "/ref.csv");
        }
        return labels;
    }

    // Every label file in `out` is Segmora's for the photo of its name in in/ (PNG).
    void expectSegmoraLabels(const std::string& out) {
        for (const auto& entry : fs::directory_iterator(out)) {
            const std::string name = entry.path().filename().string();
            if (name[0] == '.') continue;
            const std::string photo = dir + "/in/" + name.substr(0, name.size() - 4) + ".png";
            EXPECT_TRUE(readFile(entry.path().string()) == segmoraLabels(photo))
                << name << " is not Segmora's label file";
        }
    }

    ProgramRun batch(const std::vector<std::string>& words) const {
        return runProgram(kBatch, words, dir);
    }

    // segmora-batch run from /bin/sh after `setUp`, with `redirect` applied to it.
    ProgramRun batchUnder(const std::string& setUp, const std::vector<std::string>& words,
                          const std::string& redirect = "") const {
        std::vector<std::string> arguments = {"-c", setUp + "; exec \"$@\" " + redirect, "sh",
                                              kBatch};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return runProgram("/bin/sh", arguments, dir);
    }

    // The words that run segmora-batch as user nobody when this test runs as root, as
    // itself otherwise; empty when nobody could not reach the program or the scratch folder.
    std::vector<std::string> unprivileged(const std::vector<std::string>& words) const {
        std::vector<std::string> run = {kBatch};
        if (::geteuid() == 0) {
            if (::access(kSetpriv.c_str(), X_OK) != 0) return {};
            run = {kSetpriv, "--reuid=" + std::to_string(kNobody),
                   "--regid=" + std::to_string(kNobody), "--clear-groups", kBatch};
            const ProgramRun probe =
                runProgram(kSetpriv,
                           {run[1], run[2], run[3], "/bin/sh", "-c",
                            "test -x \"$0\" && test -x \"$1\"", kBatch, dir + "/in"},
                           dir);
            if (probe.exitStatus != 0) return {};
        }
        run.insert(run.end(), words.begin(), words.end());
        return run;
    }

    std::string dir;
    std::map<std::string, std::string> expected;
};

}  // namespace batch_test
