#include "row_bands.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <stdexcept>

namespace segmora {

namespace {

constexpr size_t kBlock = PlacedFile::kDirectBlock;

size_t roundedUp(size_t bytes, size_t step) {
    return (bytes + step - 1) / step * step;
}

}  // namespace

// A band's memory: mapped (so aligned for direct writes) and on huge pages where the
// system gives them, whose first touch is cheap.
struct RowBands::Block {
    explicit Block(size_t bytes) : size(roundedUp(bytes, kBlock)) {
        void* mapped =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        ::madvise(mapped, size, MADV_HUGEPAGE);
        data = static_cast<uint8_t*>(mapped);
    }
    ~Block() { ::munmap(data, size); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    size_t size;
    uint8_t* data;
};

RowBands::RowBands(RasterFile& file, int64_t bandRows)
    : file(file),
      bandRows(bandRows),
      rowBytes(static_cast<size_t>(file.layout().width * file.layout().pixelBytes)) {
    const RasterLayout& layout = file.layout();
    if (layout.kind != RasterLayout::Kind::Npy || bandRows < 1) {
        throw std::logic_error("rows in bands are for array files only, a row a band at least");
    }
    // Room for the bytes before a band (less than a block) and the band.
    const size_t bytes = kBlock + static_cast<size_t>(bandRows) * rowBytes;
    blocks[0] = std::make_unique<Block>(bytes);
    blocks[1] = std::make_unique<Block>(bytes);
    start = layout.dataOffset / kBlock * kBlock;
    lead = static_cast<size_t>(layout.dataOffset - start);
    std::memcpy(blocks[0]->data, layout.header.data() + start, lead);
}

RowBands::~RowBands() {
    if (writing.valid()) writing.wait();
}

uint8_t* RowBands::row(int64_t r) {
    return blocks[current]->data + lead + static_cast<size_t>(r) * rowBytes;
}

void RowBands::waitForWrite() {
    if (writing.valid()) writing.get();
}

void RowBands::writeBand(int64_t rows) {
    const int64_t height = file.layout().height;
    if (rows < 1 || rows > bandRows || nextRow + rows > height) {
        throw std::logic_error("a band of rows outside the file");
    }
    const size_t total = lead + static_cast<size_t>(rows) * rowBytes;
    const size_t whole = total / kBlock * kBlock, tail = total - whole;
    uint8_t* const band = blocks[current]->data;
    const uint64_t at = start;
    waitForWrite();
    nextRow += rows;
    if (nextRow == height) {  // the last band: its unaligned end through the page cache
        file.writeRowBytes(at, band, whole, true, rows);
        if (tail > 0) file.writeRowBytes(at + whole, band + whole, tail, false, 0);
        return;
    }
    // The partial block at the end starts the next band, whose rows follow these.
    std::memcpy(blocks[current ^ 1]->data, band + whole, tail);
    writing = std::async(std::launch::async, [this, at, band, whole, rows] {
        file.writeRowBytes(at, band, whole, true, rows);
    });
    start += whole;
    lead = tail;
    current ^= 1;
}

}  // namespace segmora
