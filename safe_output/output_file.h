#pragma once

#include <memory>
#include <string>
#include <vector>

#include "written_file.h"

namespace segmora {

class OutputFolder;

// A file that is written completely or not at all. Output goes to a hidden temporary
// file beside the target, created at the first write and renamed over the target by
// commit(); a run that fails (or never commits) removes the temporary file and leaves any
// earlier target untouched. While the temporary file exists it is registered for removal
// on a signal (temporary_files.h).
//
// The constructor checks, before any long work, that the file can be written: symbolic
// links on the way are resolved (refusing those another user planted in a sticky folder,
// see output_target.h), the target must not be a directory and its folder must be
// writable. A target that is this process's standard output or error is written through
// that descriptor, never replaced; any other existing target that is not a regular file
// (a pipe, a terminal, /dev/null) is opened and written directly. Errors throw
// std::runtime_error naming `description` and the path as given.
class OutputFile {
  public:
    OutputFile(const std::string& path, const std::string& description);
    // The file `name` directly in `folder`, for names the program makes itself: nothing
    // found at the name is followed or written through (see OutputFolder); anything there
    // but a folder is replaced by the committed file. `folder` must outlive the file.
    // With `handOff`, commit() stops once the data is written and appends the file to it,
    // to be flushed and named by whoever holds the list (see WrittenFile).
    OutputFile(const OutputFolder& folder, const std::string& name, const std::string& description,
               std::vector<WrittenFile>* handOff = nullptr);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const char* bytes, size_t count);
    // Room for `count` bytes after those written so far, to be filled and then counted in
    // with wrote() (at most `count`): text can be formatted straight into the file's buffer.
    char* room(size_t count);
    void wrote(size_t count);
    void commit();

  private:
    void openDirect(const std::string& target);
    void checkFolderWritable();
    void createTemporary();
    void createTemporaryInFolder();
    void commitInFolder();
    void discardTemporary();
    void makeBuffer(size_t size);
    void flush();
    [[noreturn]] void fail(const std::string& action, int error);

    std::string shownPath;  // as given, for messages
    std::string path;       // with symbolic links resolved
    std::string description;
    std::string tempPath;                  // empty while no temporary file exists
    const OutputFolder* folder = nullptr;  // for a name made by the program
    std::string name, tempName;            // in `folder`
    std::vector<WrittenFile>* handOff = nullptr;
    std::unique_ptr<char[]> buffer;
    size_t capacity = 0;
    size_t used = 0;
    int fd = -1;
    int slot = -1;  // in the temporary-file registry
    bool direct = false;
};

}  // namespace segmora
