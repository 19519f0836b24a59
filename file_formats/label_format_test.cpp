#include "label_format.h"

#include <gtest/gtest.h>

namespace segmora {
namespace {

TEST(LabelFormat, ExtensionsOfAnyCaseAndEverythingElseIsText) {
    const std::vector<std::pair<const char*, LabelFormat>> cases = {
        {"l.png", LabelFormat::Png},      {"dir/l.PNG", LabelFormat::Png},
        {"l.npy", LabelFormat::Npy},      {"l.tif", LabelFormat::Tiff},
        {"l.TIFF", LabelFormat::Tiff},    {"l.csv", LabelFormat::Csv},
        {"l.txt", LabelFormat::Csv},      {"l", LabelFormat::Csv},
        {".png", LabelFormat::Csv},       {"dir.png/l", LabelFormat::Csv},
        {"l.png.csv", LabelFormat::Csv},  {"l.npy.gz", LabelFormat::Csv},
        {"/dev/stdout", LabelFormat::Csv}};
    for (const auto& [path, format] : cases) EXPECT_EQ(labelFormatOfPath(path), format) << path;
}

TEST(LabelFormat, NamesAndExtensionsAgree) {
    for (const char* name : {"csv", "png", "npy", "tiff"}) {
        const std::optional<LabelFormat> format = labelFormatNamed(name);
        ASSERT_TRUE(format) << name;
        EXPECT_EQ(labelFileExtension(*format), std::string(".") + name);
        EXPECT_EQ(labelFormatOfPath(std::string("x.") + name), *format);
    }
    EXPECT_EQ(labelFormatNamed("tif"), LabelFormat::Tiff);
    for (const char* name : {"CSV", "jpg", "", "text", ".png"})
        EXPECT_FALSE(labelFormatNamed(name));
}

}  // namespace
}  // namespace segmora
