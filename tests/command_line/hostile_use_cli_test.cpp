// The program used as a hostile or careless user would: outputs through planted links,
// outputs naming the inputs, interrupted runs, the console as target, long names. Every
// run either does the documented thing or fails cleanly, and never replaces a file it
// must not touch.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "cli_fixture.h"
#include "scratch_files.h"

namespace {

// Hidden names in `dir`: the temporary files of an unfinished write (the runner's own
// .stdout and .stderr aside).
std::vector<std::string> temporaryFiles(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.' && name != ".stdout" && name != ".stderr") names.push_back(name);
    }
    return names;
}

// Runs the program with its standard output a pipe whose reading end is closed; returns
// the status as waitForProgram gives it.
int runWithClosedOutput(const std::vector<std::string>& words) {
    int ends[2];
    if (::pipe(ends) != 0) return -1;
    ::close(ends[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string program = CliTest::program();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    return failed != 0 ? -1 : waitForProgram(pid);
}

bool isSymbolicLink(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

class HostileUse : public CliTest {
  protected:
    HostileUse() : CliTest("segmora_hostile_use", gradientPhoto()) {}

    // The console lines of a successful run with -i image and -o `target`.
    std::string consoleLines(const std::string& target, int count) const {
        return "image_path: " + image + "\noutput_path: " + target +
               "\nSegment the image...\nSuper-pixel num: " + std::to_string(count) + "\n";
    }
    std::string labels(int* count = nullptr) const {
        return expectedLabelFile(photo, cv::Mat_<int>(photo.rows, photo.cols, 1), 500, count);
    }
};

TEST_F(HostileUse, LinksOthersPlantedInStickyFoldersAreNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
    const struct passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const std::string shared = dir + "/shared", victim = dir + "/victim.csv";
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const auto plant = [&](const std::string& link, const std::string& target, uid_t owner) {
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
        ASSERT_EQ(::lchown(link.c_str(), owner, static_cast<gid_t>(-1)), 0) << link;
    };
    plant(shared + "/labels.csv", victim, nobody->pw_uid);
    plant(shared + "/picture.png", dir + "/victim.png", nobody->pw_uid);
    plant(shared + "/folder", dir, nobody->pw_uid);
    struct Case {
        std::vector<std::string> words;
        std::string link;
    };
    const std::vector<Case> refused = {
        {{"-i", image, "-o", shared + "/labels.csv"}, shared + "/labels.csv"},
        {{"-i", image, "-v", shared + "/picture.png"}, shared + "/picture.png"},
        {{"-i", image, "-o", shared + "/folder/victim.csv"}, shared + "/folder"},
    };
    for (const Case& c : refused) {
        writeFile(victim, "precious\n");
        writeFile(dir + "/victim.png", "precious picture\n");
        expectCleanFailure(c.words,
                           "refusing to follow the symbolic link '" + c.link +
                               "': another user owns it in a sticky, world-writable folder",
                           c.link);
        EXPECT_EQ(readFile(victim), "precious\n");
        EXPECT_EQ(readFile(dir + "/victim.png"), "precious picture\n");
        EXPECT_TRUE(temporaryFiles(shared).empty());
    }
    // Links the kernel's rule lets pass are followed: the file they lead to is replaced
    // and the link stays. Ours in the sticky folder; another user's in a folder that is
    // not sticky; the folder owner's own in a sticky folder.
    const std::string own = dir + "/own", plain = dir + "/plain", theirs = dir + "/theirs";
    for (const std::string& folder : {own, plain, theirs})
        ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(own.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(theirs.c_str(), 01777), 0);
    ASSERT_EQ(::chown(theirs.c_str(), nobody->pw_uid, static_cast<gid_t>(-1)), 0);
    plant(own + "/labels.csv", victim, 0);
    plant(plain + "/labels.csv", victim, nobody->pw_uid);
    plant(theirs + "/labels.csv", victim, nobody->pw_uid);
    for (const std::string& link :
         {own + "/labels.csv", plain + "/labels.csv", theirs + "/labels.csv"}) {
        writeFile(victim, "earlier\n");
        const ProgramRun r = run({"-i", image, "-o", link});
        EXPECT_EQ(r.exitStatus, 0) << link << ": " << r.err;
        EXPECT_EQ(readFile(victim), labels()) << link;
        EXPECT_TRUE(isSymbolicLink(link)) << link;
    }
}

TEST_F(HostileUse, OutputsNeverReplaceTheInputsOrEachOther) {
    const std::string photoBytes = readFile(image);
    const std::string hard = dir + "/hard.png", soft = dir + "/soft.png";
    const std::string regions = dir + "/regions.txt", twin = dir + "/twin.png";
    ASSERT_EQ(::link(image.c_str(), hard.c_str()), 0);
    ASSERT_EQ(::symlink("photo.png", soft.c_str()), 0);
    writeFile(regions, regionFileText(leftRightRegions()));
    struct Case {
        std::vector<std::string> words;
        std::string culprit;
    };
    const std::vector<Case> cases = {
        {{"-i", image, "-o", image},
         "label file '" + image + "' would replace the image '" + image + "'"},
        {{"-i", image, "-v", image},
         "boundary picture '" + image + "' would replace the image '" + image + "'"},
        {{"-i", soft, "-o", image}, "label file '" + image + "' would replace the image"},
        {{"-i", image, "-o", hard}, "label file '" + hard + "' would replace the image"},
        {{"-i", image, "-o", output, "-v", soft}, "boundary picture '" + soft + "' would replace"},
        {{"-i", image, "-r", regions, "-o", regions},
         "label file '" + regions + "' would replace the region file"},
        {{"-i", image, "-o", twin, "-v", twin},
         "boundary picture '" + twin + "' would replace the label file '" + twin + "'"},
        {{"-i", image, "-o", dir + "/./twin.png", "-v", twin}, "would replace the label file"},
    };
    for (const Case& c : cases) {
        expectCleanFailure(c.words, c.culprit, c.culprit);
        EXPECT_EQ(readFile(image), photoBytes);
        EXPECT_FALSE(fileExists(twin));
    }
}

TEST_F(HostileUse, InterruptedRunsLeaveNoTemporaryFile) {
    const std::string large = dir + "/large.png", out = dir + "/console.txt";
    cv::Mat_<cv::Vec3b> big;
    cv::resize(photo, big, cv::Size(1200, 900), 0, 0, cv::INTER_LINEAR);
    ASSERT_TRUE(cv::imwrite(large, big));
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const pid_t pid = startProgram(program(), {"-i", large, "-o", output}, out, "/dev/null");
        // The temporary file appears only after the count line: a listing taken before the
        // console shows that line must find none.
        for (int polls = 0; polls < 60000; ++polls) {
            const std::vector<std::string> names = temporaryFiles(dir);
            const std::string console = readFile(out);
            if (console.find("Super-pixel num") == std::string::npos) {
                EXPECT_TRUE(names.empty()) << names[0];
            }
            if (console.find("Segment the image...") != std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::kill(pid, signal);
        EXPECT_EQ(waitForProgram(pid), 1000 + signal);
        EXPECT_TRUE(temporaryFiles(dir).empty());
    }
    // While the labels are written, the signal removes the temporary file before the
    // process ends with it; an ignored signal stays ignored and the file is completed.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(signal);
        writeFile(output, "earlier\n");
        const ProgramRun r = runProgram(INTERRUPTED_WRITER, {output, std::to_string(signal)}, dir);
        EXPECT_EQ(r.exitStatus, 1000 + signal) << r.err;
        EXPECT_EQ(readFile(output), "earlier\n");
        EXPECT_TRUE(temporaryFiles(dir).empty());
    }
    const ProgramRun ignored = runProgram(
        "/bin/sh", {"-c", "trap '' HUP; exec \"$@\"", "sh", INTERRUPTED_WRITER, output, "1"}, dir);
    EXPECT_EQ(ignored.exitStatus, 0) << ignored.err;
    EXPECT_EQ(readFile(output).size(), size_t{3} << 20);
    // Standard output is a pipe nobody reads any more (| head): the first console line
    // ends the run by SIGPIPE, leaving nothing.
    std::remove(output.c_str());
    EXPECT_EQ(runWithClosedOutput({"-i", large, "-o", output}), 1000 + SIGPIPE);
    EXPECT_TRUE(temporaryFiles(dir).empty());
    EXPECT_FALSE(fileExists(output));
}

TEST_F(HostileUse, StandardStreamsAreWrittenInPlace) {
    int count = 0;
    const std::string expected = labels(&count), log = dir + "/log.txt";
    struct Case {
        std::string target, redirect, earlier, expected;
    };
    const std::vector<Case> cases = {
        {"/dev/stdout", ">>", "earlier line\n",
         "earlier line\n" + consoleLines("/dev/stdout", count) + expected},
        {"/dev/stdout", ">", "", consoleLines("/dev/stdout", count) + expected},
        {"/dev/stderr", "2>>", "earlier line\n", "earlier line\n" + expected},
        {"/proc/self/fd/1", ">>", "", consoleLines("/proc/self/fd/1", count) + expected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target + " " + c.redirect);
        writeFile(log, c.earlier);
        const ProgramRun r =
            runUnder("true", {"-i", image, "-o", c.target}, c.redirect + " '" + log + "'");
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(readFile(log), c.expected);
        EXPECT_TRUE(temporaryFiles(dir).empty());
    }
}

TEST_F(HostileUse, LongestLegalNamesAreWritten) {
    const std::string expected = labels();
    for (const size_t length : {247, 248, 251, 255}) {
        const std::string target = dir + "/" + std::string(length - 4, 'n') + ".csv";
        const ProgramRun r = run({"-i", image, "-o", target});
        EXPECT_EQ(r.exitStatus, 0) << length << ": " << r.err;
        EXPECT_EQ(readFile(target), expected) << length;
        EXPECT_TRUE(temporaryFiles(dir).empty());
        std::remove(target.c_str());
    }
}

}  // namespace
