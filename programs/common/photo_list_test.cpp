#include "photo_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <sstream>

#include "scratch_files.h"

namespace segmora {
namespace {

std::vector<std::string> pathsOf(const std::vector<ListedPhoto>& photos) {
    std::vector<std::string> paths;
    for (const ListedPhoto& photo : photos) paths.push_back(photo.path);
    return paths;
}

std::vector<ListedPhoto> listed(const std::vector<std::string>& paths) {
    std::vector<ListedPhoto> photos;
    for (const std::string& path : paths) photos.push_back({path, ""});
    return photos;
}

using Clash = std::optional<std::pair<std::string, std::string>>;

TEST(PhotoNames, ExtensionsOfAnyCase) {
    for (const char* name :
         {"a.png", "a.PNG", "a.Jpg", "b.jpeg", "c.jpe", "d.bmp", "e.tif", "f.TIFF", "g.webp",
          "h.ppm", "i.pgm", "j.pnm", "k.jp2", "x.txt.png", ".png"}) {
        EXPECT_TRUE(hasPhotoExtension(name)) << name;
    }
    for (const char* name : {"a.txt", "png", "a.png.txt", "a.pngx", "a.", "a", "a.gif", "a.csv"}) {
        EXPECT_FALSE(hasPhotoExtension(name)) << name;
    }
}

TEST(PhotoNames, NameIsTheFileNameWithoutItsLastExtension) {
    EXPECT_EQ(photoName("a.png"), "a");
    EXPECT_EQ(photoName("dir/two words.JPG"), "two words");
    EXPECT_EQ(photoName("dir/a.b.png"), "a.b");
    EXPECT_EQ(photoName("some.dir/photo"), "photo");
    EXPECT_EQ(photoName("dir/.png"), ".png");
    EXPECT_EQ(photoName("/x/.hidden.png"), ".hidden");
}

class PhotoFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("photo_list_test");
        for (const char* name : {"b.png", "a.JPG", "notes.txt", "c.tiff", ".d.ppm"}) {
            writeFile(dir + "/" + name, "x");
        }
        ASSERT_EQ(::mkdir((dir + "/sub").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((dir + "/folder.png").c_str(), 0755), 0);
        writeFile(dir + "/sub/deeper.png", "x");
        ASSERT_EQ(::symlink("b.png", (dir + "/link.png").c_str()), 0);
        ASSERT_EQ(::symlink("gone.png", (dir + "/dangling.png").c_str()), 0);
    }
    void TearDown() override { removeScratchDir(dir); }

    std::string dir;
};

TEST_F(PhotoFolder, FolderGivesItsOwnPhotoFilesInByteOrder) {
    std::istringstream noList;
    EXPECT_EQ(collectPhotos({dir}, noList), listed({dir + "/.d.ppm", dir + "/a.JPG", dir + "/b.png",
                                                    dir + "/c.tiff", dir + "/link.png"}));
    EXPECT_EQ(collectPhotos({dir + "/"}, noList).front().path, dir + "/.d.ppm");
}

TEST_F(PhotoFolder, RecursiveSearchKeepsTheFolderBelowAndSkipsLinkedFolders) {
    ASSERT_EQ(::mkdir((dir + "/sub/more").c_str(), 0755), 0);
    writeFile(dir + "/sub/more/b.png", "x");
    writeFile(dir + "/sub/more/notes.txt", "x");
    ASSERT_EQ(::symlink(".", (dir + "/sub/loop").c_str()), 0);
    std::istringstream noList;
    const std::vector<ListedPhoto> photos = collectPhotos({dir + "/"}, noList, true);
    EXPECT_EQ(photos, (std::vector<ListedPhoto>{
                          {dir + "/.d.ppm", ""},
                          {dir + "/a.JPG", ""},
                          {dir + "/b.png", ""},
                          {dir + "/c.tiff", ""},
                          {dir + "/link.png", ""},
                          {dir + "/sub/deeper.png", "sub/"},
                          {dir + "/sub/more/b.png", "sub/more/"},
                      }));
    EXPECT_EQ(photos.back().resultName(), "sub/more/b");
    EXPECT_FALSE(clashingPhotos(photos)) << "b twice, but in different folders";

    // The output and picture folders are not searched, however they are named.
    const std::vector<ListedPhoto> withoutResults =
        collectPhotos({dir}, noList, true, {dir + "/sub/../sub/more", dir + "/none", ""});
    EXPECT_EQ(withoutResults.size(), photos.size() - 1);
    EXPECT_EQ(withoutResults.back().path, dir + "/sub/deeper.png");
}

TEST_F(PhotoFolder, InputsMakeOneSortedList) {
    std::istringstream list("z/listed.png\r\n\n" + dir + "/notes.txt\n/abs/last.jpg");
    const std::vector<ListedPhoto> photos =
        collectPhotos({dir + "/sub", "-", "missing.png", dir + "/sub/deeper.png"}, list, true);
    EXPECT_EQ(pathsOf(photos), (std::vector<std::string>{
                                   "/abs/last.jpg", dir + "/notes.txt", dir + "/sub/deeper.png",
                                   dir + "/sub/deeper.png", "missing.png", "z/listed.png"}));
    EXPECT_EQ(clashingPhotos(photos), Clash({dir + "/sub/deeper.png", dir + "/sub/deeper.png"}));
}

TEST(PhotoList, ClashesNameTheFirstTwoPhotosOfAResultName) {
    EXPECT_EQ(clashingPhotos(
                  listed({"x/a.png", "a.jpg", "y/a.PNG", "b.png", "B.png", "c.png", "z/c.tif"})),
              Clash({"x/a.png", "a.jpg"}));
    EXPECT_EQ(clashingPhotos(listed({"b.png", "B.png", "c.png", "z/c.tif"})),
              Clash({"c.png", "z/c.tif"}));
    EXPECT_FALSE(clashingPhotos(listed({"a.png", "a.b.png", "ab.png"})));
    EXPECT_FALSE(clashingPhotos({}));
    EXPECT_EQ(clashingPhotos({{"p/x/a.png", "x/"}, {"q/x/a.jpg", "x/"}, {"q/a.png", ""}}),
              Clash({"p/x/a.png", "q/x/a.jpg"}));
}

TEST(PhotoList, ShardsTakeEveryPhotoExactlyOnce) {
    for (int size : {0, 1, 5, 12}) {
        std::vector<ListedPhoto> photos;
        for (int i = 0; i < size; ++i) photos.push_back({"p" + std::to_string(100 + i), ""});
        for (int count : {1, 2, 3, 7, 20}) {
            std::multiset<std::string> seen;
            for (int index = 0; index < count; ++index) {
                const std::vector<std::string> share =
                    pathsOf(shardOf(photos, Shard{index, count}));
                for (size_t i = 0; i < share.size(); ++i) {
                    EXPECT_EQ(share[i], photos[index + i * count].path);
                }
                seen.insert(share.begin(), share.end());
            }
            const std::vector<std::string> all = pathsOf(photos);
            EXPECT_EQ(seen, std::multiset<std::string>(all.begin(), all.end()))
                << size << " photos in " << count << " shards";
        }
    }
}

}  // namespace
}  // namespace segmora
