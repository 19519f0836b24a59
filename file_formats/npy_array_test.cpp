#include "npy_array.h"

#include <gtest/gtest.h>

#include "binary_label_file.h"

namespace segmora {
namespace {

TEST(NpyHeader, OursIsAlignedAndReadsBack) {
    for (const auto& [rows, cols] :
         {std::pair{1, 1}, std::pair{3000, 4000}, std::pair{7, 123456}}) {
        const std::string header = npyHeader(rows, cols);
        EXPECT_EQ(header.size() % 64, 0u);
        EXPECT_EQ(header.back(), '\n');
        const NpyHeader parsed = parseNpyHeader(header);
        EXPECT_EQ(parsed.kind, 'i');
        EXPECT_EQ(parsed.itemSize, 4);
        EXPECT_FALSE(parsed.bigEndian);
        EXPECT_FALSE(parsed.fortranOrder);
        EXPECT_EQ(parsed.shape, (std::vector<uint64_t>{uint64_t(rows), uint64_t(cols)}));
        EXPECT_EQ(parsed.dataOffset, header.size());
    }
}

TEST(NpyHeader, WideLabelsAndShapesBeyond32BitsReadBack) {
    const NpyHeader parsed = parseNpyHeader(npyHeader(46341, int64_t(1) << 33, 8));
    EXPECT_EQ(parsed.itemSize, 8);
    EXPECT_EQ(parsed.shape, (std::vector<uint64_t>{46341, uint64_t(1) << 33}));
    EXPECT_EQ(parsed.dataOffset % 64, 0u);
}

TEST(NpyHeader, MalformedHeadersAreRefused) {
    const std::string v1 = std::string("\x93NUMPY\x01\x00", 8);
    const auto withDict = [&](const std::string& dict) {
        return v1 + char(dict.size()) + '\0' + dict;
    };
    for (const std::string& bytes :
         {std::string("\x93NUMP"), std::string("\x93NUMPY\x04\x00\x00\x00", 10),
          withDict("{'descr': '<i4', 'fortran_order': False, }"),
          withDict("{'descr': '<i4', 'fortran_order': False, 'shape': (2, x), }"),
          withDict("{'descr': '<i4', 'fortran_order': False, 'shape': (2, 3"),
          withDict("{'descr': [('a', '<i4')], 'fortran_order': False, 'shape': (2,), }"),
          withDict("{'descr': '<i4', 'fortran_order': False, 'shape': (99999999999999, 1), }"),
          withDict("{'descr': '<i4'").substr(0, 12)}) {
        EXPECT_THROW(parseNpyHeader(bytes), std::runtime_error) << bytes.substr(10);
    }
}

TEST(NpyElement, SignsWidthsAndByteOrders) {
    struct Case {
        char kind;
        int itemSize;
        bool bigEndian;
        std::vector<unsigned char> bytes;
        int64_t value;
    };
    const std::vector<Case> cases = {
        {'i', 1, false, {0xff}, -1},
        {'u', 1, false, {0xff}, 255},
        {'b', 1, false, {0x02}, 1},
        {'i', 2, false, {0x00, 0x80}, -32768},
        {'i', 2, true, {0x80, 0x00}, -32768},
        {'u', 4, true, {0x00, 0x00, 0x01, 0x02}, 258},
        {'i', 8, false, {0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, -2},
    };
    for (const Case& c : cases) {
        NpyHeader header;
        header.kind = c.kind;
        header.itemSize = c.itemSize;
        header.bigEndian = c.bigEndian;
        int64_t value = 0;
        EXPECT_TRUE(npyElement(header, c.bytes.data(), 0, value));
        EXPECT_EQ(value, c.value) << c.kind << c.itemSize;
    }
    NpyHeader u8;
    u8.kind = 'u';
    u8.itemSize = 8;
    const std::vector<unsigned char> huge(8, 0xff);
    int64_t value = 0;
    EXPECT_FALSE(npyElement(u8, huge.data(), 0, value));
}

}  // namespace
}  // namespace segmora
