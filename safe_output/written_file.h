#pragma once

#include <string>

namespace segmora {

class OutputFolder;

// A file written in full under its temporary name in an OutputFolder and not yet given its
// name: what OutputFile::commit() leaves when it hands the last step to someone else
// (segmora-batch does that step on a thread of its own, so that a worker does not wait for
// the disk). The temporary file stays open, locked and registered for removal on a signal
// until putInPlace(); a WrittenFile dropped before that removes it, and any earlier file of
// the name is left as it was.
class WrittenFile {
  public:
    WrittenFile(const OutputFolder& folder, int fd, int slot, std::string temporaryName,
                std::string name, std::string shownPath, std::string description);
    WrittenFile(WrittenFile&& other) noexcept;
    WrittenFile& operator=(WrittenFile&& other) noexcept;
    ~WrittenFile();
    WrittenFile(const WrittenFile&) = delete;
    WrittenFile& operator=(const WrittenFile&) = delete;

    // Flushes the file to the disk when the folder is durable, and only then renames it
    // to its name. The folder itself is not flushed: call syncFolder() once for all the
    // files put in place there. Throws std::runtime_error as OutputFile::commit() does
    // ("cannot write label file 'PATH': ..."); the temporary file is then removed.
    void putInPlace();
    // Flushes the folder after renames into it (when it is durable); throws as putInPlace.
    void syncFolder() const;

    const OutputFolder& folder() const { return *where; }
    const std::string& path() const { return shownPath; }

  private:
    void discard() noexcept;
    [[noreturn]] void fail(const std::string& action, int error) const;

    const OutputFolder* where;
    int fd;
    int slot;
    std::string temporaryName, name, shownPath, description;
};

}  // namespace segmora
