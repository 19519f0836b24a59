#pragma once

#include <string>
#include <vector>

namespace segmora {

// A file that is written completely or not at all. Output goes to a hidden
// temporary file beside the target, renamed over it by commit(); a run that
// fails (or never commits) removes the temporary file and leaves any earlier
// target untouched. A target that exists and is not a regular file (a pipe,
// a terminal, /dev/stdout) is written directly. Errors throw
// std::runtime_error naming `description` and the path.
class OutputFile {
  public:
    OutputFile(const std::string& path, const std::string& description);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const char* bytes, size_t count);
    void commit();

  private:
    void flush();
    [[noreturn]] void fail(const std::string& action, int error);

    std::string path;
    std::string description;
    std::string tempPath;  // empty when writing the target directly
    std::vector<char> buffer;
    size_t used = 0;
    int fd = -1;
};

}  // namespace segmora
