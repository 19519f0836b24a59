#pragma once

#include <cstdio>

namespace segmora {

// The most scans a JPEG photo may have. A progressive JPEG has about ten (one per band
// of coefficients and bit of precision an encoder sends at a time); each scan makes the
// decoder pass over all of the picture's coefficients again, so a small file of many
// (empty) scans would ask for minutes of work.
constexpr int kMaxJpegScans = 500;

// Counts the scans (start-of-scan markers) of the JPEG in `file` from its start, walking
// the marker segments and skipping the coded data between them without decoding it. What
// the JPEG library skips is skipped alike: junk bytes between segments, fill bytes before
// a marker, restart markers. The count stops at `limit` + 1. Leaves the file's position where the
// walk ended.
int countJpegScans(std::FILE* file, int limit);

}  // namespace segmora
