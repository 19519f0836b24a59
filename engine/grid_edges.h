#pragma once

#include <cstdint>

namespace segmora {

// How the edges of a width x height pixel graph are numbered. Pixel a makes
// up to four edges, in this order; edge number a * 4 + direction names each,
// so edge numbers grow in construction order.
enum EdgeDirection : uint32_t { kRight, kBelow, kBelowRight, kAboveRight };

// Vertex offsets of the neighbour in each direction for an image `width` wide.
struct NeighbourOffsets {
    explicit NeighbourOffsets(int32_t width) : offset{1, width, width + 1, 1 - width} {}
    int32_t offset[4];
};

// The two pixels of edge number `edge`.
inline int32_t edgeFirstVertex(uint32_t edge) {
    return static_cast<int32_t>(edge >> 2);
}
inline int32_t edgeSecondVertex(uint32_t edge, const NeighbourOffsets& neighbours) {
    return static_cast<int32_t>(edge >> 2) + neighbours.offset[edge & 3];
}

// The edges one row makes, direction by direction: right edges on every row,
// below and below-right edges on all rows but the last, above-right edges on
// all rows but the first. Within a direction they come column by column.
struct RowEdges {
    RowEdges(int32_t width, int32_t height, int64_t row)
        : width(width),
          row(static_cast<int32_t>(row)),
          right(width - 1),
          below(row < height - 1 ? width : 0),
          belowRight(row < height - 1 ? width - 1 : 0),
          aboveRight(row > 0 ? width - 1 : 0) {}

    int64_t count() const { return int64_t{right} + below + belowRight + aboveRight; }

    int32_t width;
    int32_t row;
    int32_t right, below, belowRight, aboveRight;  // edges in each direction
};

// Edges produced by the rows before `row` of a width x height image.
inline int64_t edgesBeforeRow(int32_t width, int32_t height, int64_t row) {
    const int64_t w = width;
    const int64_t belowRows = row < height - 1 ? row : height - 1;
    const int64_t aboveRows = row > 1 ? row - 1 : 0;
    return row * (w - 1) + belowRows * (2 * w - 1) + aboveRows * (w - 1);
}

// Number of edges of a width x height image.
inline int64_t edgeCountFor(int32_t width, int32_t height) {
    return width <= 0 || height <= 0 ? 0 : edgesBeforeRow(width, height, height);
}

// Calls visit(value, edgeNumber) for the values of one row's edges, stored
// direction by direction (the RowEdges layout), in construction order.
template <class T, class Visit>
void visitInConstructionOrder(const RowEdges& row, const T* values, Visit&& visit) {
    const T* right = values;
    const T* below = right + row.right;
    const T* belowRight = below + row.below;
    const T* aboveRight = belowRight + row.belowRight;
    uint32_t edge = static_cast<uint32_t>(row.row) * static_cast<uint32_t>(row.width) * 4;
    for (int32_t x = 0; x < row.right; ++x, edge += 4) {
        visit(right[x], edge + kRight);
        if (row.below != 0) {
            visit(below[x], edge + kBelow);
            visit(belowRight[x], edge + kBelowRight);
        }
        if (row.aboveRight != 0) visit(aboveRight[x], edge + kAboveRight);
    }
    if (row.below != 0) visit(below[row.width - 1], edge + kBelow);
}

}  // namespace segmora
