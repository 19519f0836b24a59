#pragma once

#include <cstdint>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {

// The bytes of a tile's pixels' local segments (TileState::labels): "SGMLABL1", format
// version, the bytes per id (2, 3 or 4: idBytesFor the tile's local segment count),
// the tile's number, width, height, local segment count and run count, the runs row by row
// (an id, then 2 bytes of length: the pixels from there to the end of the run of that id,
// at most 65535 and never past the row's end), a check sum. Written over `out`, whose
// memory is reused.
void localLabelBytes(int64_t tile, const TileRect& rect, const int32_t* ids, uint64_t segments,
                     std::vector<uint8_t>& out);

// The bytes of a tile's table (TiledJoin::tables): "SGMTABL1", format version, the bytes
// per label (4 when count < 2^31, else 8), the tile's number, its local segment count, the
// superpixel count, each local segment's label, a check sum.
std::vector<uint8_t> labelTableBytes(int64_t tile, const std::vector<int64_t>& labels,
                                     int64_t count);

}  // namespace segmora
