#include "photo_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <sstream>

#include "scratch_files.h"

namespace segmora {
namespace {

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
    EXPECT_EQ(collectPhotos({dir}, noList),
              (std::vector<std::string>{dir + "/.d.ppm", dir + "/a.JPG", dir + "/b.png",
                                        dir + "/c.tiff", dir + "/link.png"}));
    EXPECT_EQ(collectPhotos({dir + "/"}, noList).front(), dir + "/.d.ppm");
}

TEST_F(PhotoFolder, InputsMakeOneSortedList) {
    std::istringstream list("z/listed.png\r\n\n" + dir + "/notes.txt\n/abs/last.jpg");
    const std::vector<std::string> photos =
        collectPhotos({dir + "/sub", "-", "missing.png", dir + "/sub/deeper.png"}, list);
    EXPECT_EQ(photos, (std::vector<std::string>{"/abs/last.jpg", dir + "/notes.txt",
                                                dir + "/sub/deeper.png", dir + "/sub/deeper.png",
                                                "missing.png", "z/listed.png"}));
    EXPECT_EQ(sharedNames(photos), std::vector<std::string>{"deeper"});
}

TEST(PhotoList, SharedNamesAreListedOnceAcrossExtensionsAndFolders) {
    EXPECT_EQ(sharedNames({"x/a.png", "a.jpg", "y/a.PNG", "b.png", "B.png", "c.png", "z/c.tif"}),
              (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(sharedNames({"a.png", "a.b.png", "ab.png"}).empty());
    EXPECT_TRUE(sharedNames({}).empty());
}

TEST(PhotoList, ShardsTakeEveryPhotoExactlyOnce) {
    for (int size : {0, 1, 5, 12}) {
        std::vector<std::string> photos;
        for (int i = 0; i < size; ++i) photos.push_back("p" + std::to_string(100 + i));
        for (int count : {1, 2, 3, 7, 20}) {
            std::multiset<std::string> seen;
            for (int index = 0; index < count; ++index) {
                const std::vector<std::string> share = shardOf(photos, Shard{index, count});
                for (size_t i = 0; i < share.size(); ++i) {
                    EXPECT_EQ(share[i], photos[index + i * count]);
                }
                seen.insert(share.begin(), share.end());
            }
            EXPECT_EQ(seen, std::multiset<std::string>(photos.begin(), photos.end()))
                << size << " photos in " << count << " shards";
        }
    }
}

}  // namespace
}  // namespace segmora
