#include "output_target.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "scratch_files.h"

namespace segmora {
namespace {

class OutputTarget : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("output_target_test");
        ASSERT_EQ(::mkdir((dir + "/real").c_str(), 0755), 0);
    }
    void TearDown() override { removeScratchDir(dir); }

    void link(const std::string& target, const std::string& name) {
        ASSERT_EQ(::symlink(target.c_str(), (dir + "/" + name).c_str()), 0) << name;
    }
    std::string errorOf(const std::string& path) {
        try {
            resolveOutputPath(path, "label file");
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "";
    }

    std::string dir;
};

TEST_F(OutputTarget, ResolvesEveryLinkOnThePath) {
    link("real", "folder");                  // relative, to a folder
    link(dir + "/real/file.csv", "direct");  // absolute, to a file not yet made
    link("folder/file.csv", "chain");        // through another link
    link("../real/./file.csv", "real/up");   // with . and ..
    struct Case {
        std::string path, resolved;
    };
    const std::vector<Case> cases = {
        {dir + "/plain.csv", dir + "/plain.csv"},
        {dir + "/folder/file.csv", dir + "/real/file.csv"},
        {dir + "/direct", dir + "/real/file.csv"},
        {dir + "/chain", dir + "/real/file.csv"},
        {dir + "//folder///file.csv", dir + "/real/file.csv"},
        {dir + "/missing/file.csv", dir + "/missing/file.csv"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resolveOutputPath(c.path, "label file"), c.resolved) << c.path;
    }
    // Different spellings of one file not yet made resolve to the same identity.
    const auto resolvedIdentity = [](const std::string& path) {
        return identifyFile(resolveOutputPath(path, "label file"));
    };
    EXPECT_TRUE(resolvedIdentity(dir + "/real/up") == resolvedIdentity(dir + "/chain"));
    EXPECT_FALSE(resolvedIdentity(dir + "/real/up") == resolvedIdentity(dir + "/plain.csv"));
}

TEST_F(OutputTarget, LoopingLinksAreAnError) {
    link("b", "a");
    link("a", "b");
    const std::string message = errorOf(dir + "/a");
    EXPECT_NE(message.find("cannot create label file '" + dir + "/a'"), std::string::npos);
    EXPECT_NE(message.find("Too many levels of symbolic links"), std::string::npos) << message;
}

TEST_F(OutputTarget, IdentityTellsFilesApart) {
    writeFile(dir + "/real/one", "1");
    writeFile(dir + "/real/two", "2");
    ASSERT_EQ(::link((dir + "/real/one").c_str(), (dir + "/hard").c_str()), 0);
    EXPECT_TRUE(identifyFile(dir + "/real/one") == identifyFile(dir + "/hard"));
    EXPECT_FALSE(identifyFile(dir + "/real/one") == identifyFile(dir + "/real/two"));
    // Files not made yet: equal when folder and name are.
    EXPECT_TRUE(identifyFile(dir + "/new") == identifyFile(dir + "/real/../new"));
    EXPECT_FALSE(identifyFile(dir + "/new") == identifyFile(dir + "/real/new"));
    // Unknown when not even the folder exists: never equal to anything.
    EXPECT_FALSE(identifyFile(dir + "/no/such") == identifyFile(dir + "/no/such"));
}

TEST_F(OutputTarget, StandardStreamsAreRecognised) {
    const std::string file = dir + "/stream.txt";
    writeFile(file, "");
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_GE(saved, 0);
    FILE* stream = std::fopen(file.c_str(), "w");
    ASSERT_NE(stream, nullptr);
    ::dup2(::fileno(stream), STDERR_FILENO);
    const int asStream = standardStreamOf(file);
    const int other = standardStreamOf(dir + "/real");
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::fclose(stream);
    EXPECT_EQ(asStream, STDERR_FILENO);
    EXPECT_EQ(other, -1);
    EXPECT_EQ(standardStreamOf(dir + "/missing"), -1);
}

}  // namespace
}  // namespace segmora
