#pragma once

#include <string>

namespace segmora {

// Refuses an input that is not a regular file (after following links): a FIFO, a device,
// a socket or a folder, which a reader could wait on for ever. It is checked without
// opening it, and a regular file is then opened without waiting (O_NONBLOCK) to make sure
// that it still is one. Throws std::runtime_error "cannot read DESCRIPTION 'PATH': it is
// not a regular file but a FIFO". A path that cannot be examined is left to the reader,
// which reports it.
void requireRegularFile(const std::string& path, const std::string& description);

}  // namespace segmora
