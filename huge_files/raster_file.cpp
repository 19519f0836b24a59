#include "raster_file.h"

#include <algorithm>
#include <stdexcept>

namespace segmora {

namespace {

constexpr size_t kLargestWrite = size_t(4) << 20;

std::string rectText(int64_t x, int64_t y, int64_t w, int64_t h) {
    return std::to_string(w) + " x " + std::to_string(h) + " pixels at (" + std::to_string(x) +
           ", " + std::to_string(y) + ")";
}

}  // namespace

RasterFile::RasterFile(const std::string& path, RasterLayout layout, const std::string& description)
    : shape(std::move(layout)), file(path, shape.fileSize(), description) {
    file.write(0, shape.header.data(), shape.header.size());
}

void RasterFile::checkPiece(int64_t x, int64_t y, int64_t w, int64_t h) {
    if (x < 0 || y < 0 || w < 1 || h < 1 || x > shape.width - w || y > shape.height - h) {
        throw std::invalid_argument("the piece of " + rectText(x, y, w, h) + " lies outside the " +
                                    std::to_string(shape.width) + " x " +
                                    std::to_string(shape.height) + " image of '" + path() + "'");
    }
    if (!origins.emplace(x, y).second) {
        throw std::invalid_argument("the piece at (" + std::to_string(x) + ", " +
                                    std::to_string(y) + ") of '" + path() + "' was written twice");
    }
}

void RasterFile::write(int64_t x, int64_t y, int64_t w, int64_t h, const uint8_t* data,
                       size_t stride) {
    checkPiece(x, y, w, h);
    const int64_t cw = shape.cellWidth, ch = shape.cellHeight;
    // Cell by cell, so that the rows of a cell the piece covers across go out in one write.
    for (int64_t cy = y / ch * ch; cy < y + h; cy += ch) {
        const int64_t y0 = std::max(y, cy), y1 = std::min(y + h, cy + ch);
        for (int64_t cx = x / cw * cw; cx < x + w; cx += cw) {
            const int64_t x0 = std::max(x, cx), x1 = std::min(x + w, cx + cw);
            for (int64_t row = y0; row < y1; ++row) {
                put(shape.offsetOf(x0, row),
                    data + static_cast<size_t>(row - y) * stride +
                        static_cast<size_t>((x0 - x) * shape.pixelBytes),
                    static_cast<size_t>((x1 - x0) * shape.pixelBytes));
            }
        }
    }
    flush();
    pixelsWritten += w * h;
}

void RasterFile::put(uint64_t offset, const uint8_t* bytes, size_t count) {
    if (offset != pendingOffset + pending.size() || pending.size() + count > kLargestWrite) {
        flush();
        pendingOffset = offset;
    }
    pending.insert(pending.end(), bytes, bytes + count);
}

void RasterFile::flush() {
    if (pending.empty()) return;
    file.write(pendingOffset, pending.data(), pending.size());
    pending.clear();
}

void RasterFile::writeRowBytes(uint64_t offset, const uint8_t* bytes, size_t count, bool direct,
                               int64_t rows) {
    if (shape.kind != RasterLayout::Kind::Npy) {
        throw std::logic_error("rows in bands are for array files only");
    }
    if (direct) {
        file.writeDirect(offset, bytes, count);
    } else {
        file.write(offset, bytes, count);
    }
    pixelsWritten += rows * shape.width;
}

void RasterFile::commit() {
    const int64_t all = shape.width * shape.height;
    if (pixelsWritten != all) {
        throw std::logic_error("'" + path() +
                               "' cannot be finished: " + std::to_string(all - pixelsWritten) +
                               " of its " + std::to_string(all) + " pixels were never written");
    }
    file.commit();
}

}  // namespace segmora
