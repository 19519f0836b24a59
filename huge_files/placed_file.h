#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "output_folder.h"
#include "written_file.h"

namespace segmora {

// A file of a size known in advance whose bytes are written at their offsets, in any
// order (pwrite). It is written under a temporary name in the destination's folder (see
// OutputFolder) and gets its name only from commit(), after it has been flushed to the
// disk. Until then, and whenever a write fails, nothing appears under the final name; a
// file dropped or failed removes its temporary.
//
// The destination must be a regular file or nothing yet (never a pipe or a device).
// Before anything is written the folder's free space is checked against the whole size,
// and the size is reserved on the disk (where the file system can), so that a full disk
// shows at once rather than hours into a run. Errors throw std::runtime_error naming
// `description` and the path as given.
class PlacedFile {
  public:
    PlacedFile(const std::string& path, uint64_t size, const std::string& description);
    ~PlacedFile();
    PlacedFile(const PlacedFile&) = delete;
    PlacedFile& operator=(const PlacedFile&) = delete;

    // Writes `count` bytes at `offset` (offset + count must lie within the size). After a
    // failure the temporary file is gone and every later call throws.
    void write(uint64_t offset, const void* bytes, size_t count);
    // The same past the page cache (O_DIRECT), for long sequential writes: `offset`, `count`
    // and the address of `bytes` multiples of kDirectBlock. Where the file system does not
    // take such writes, an ordinary write instead.
    static constexpr size_t kDirectBlock = 4096;
    void writeDirect(uint64_t offset, const void* bytes, size_t count);
    void commit();

    const std::string& path() const { return shownPath; }
    uint64_t size() const { return fileSize; }

  private:
    void checkFreeSpace() const;
    void reserve();
    void endDirect();
    [[noreturn]] void fail(const std::string& action, int error);

    std::string shownPath, description;
    uint64_t fileSize;
    std::unique_ptr<OutputFolder> folder;
    std::optional<WrittenFile> written;  // the temporary file, until commit() or a failure
    int fd = -1;                         // owned by `written`
    bool direct = false;                 // O_DIRECT set on fd
    bool directRefused = false;          // the file system refused it: ordinary writes
};

// "12345678901 bytes (12.3 GB)" (MB below a GB), for messages about disk space.
std::string byteCount(uint64_t bytes);

}  // namespace segmora
