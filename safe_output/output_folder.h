#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace segmora {

// A folder that a program fills with files under names it makes itself (segmora-batch's
// label and picture folders). It is held open for the whole run, so every file lands in
// the folder that was checked, whatever happens to its path meanwhile, and names inside it
// are never followed as links: a file is written to a temporary name created there
// exclusively and renamed over the name, which replaces a link (or anything but a folder)
// found there instead of writing through it.
//
// Temporary names are "." + NAME + "." + six letters or digits + ".segmora-part". Each
// temporary file is locked (flock) while it is written, so that another run can tell a
// file being written from one left behind by a killed run.
class OutputFolder {
  public:
    // Opens the folder (links on the path are followed) and checks it before any work:
    // it must be a folder, a file must be creatable in it (a probe file is made and
    // removed), and a process running as root refuses a folder that belongs to another
    // user than root or the real user running the program while its group or everybody
    // may write it (that user or those writers could swap the files root writes or
    // plants). With `durable`, each file is flushed to the disk before it is renamed into
    // place and the folder after. Throws std::runtime_error "cannot use DESCRIPTION
    // 'PATH': ...".
    OutputFolder(const std::string& path, const std::string& description, bool durable);
    // The folder `below` (a relative path, "a/b/") inside `top`, each of its folders opened
    // (and created when missing) relative to the one above without following a link: a
    // link, or anything but a folder, where a folder should be is refused. Then checked as
    // above; `path()` is top's path + "/" + below.
    OutputFolder(const OutputFolder& top, const std::string& below, const std::string& description,
                 bool durable);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    int fd() const { return folderFd; }
    const std::string& path() const { return folderPath; }
    bool durable() const { return makeDurable; }
    // True when both name the same folder (device and inode).
    bool sameAs(const OutputFolder& other) const;

    // Creates, opens for writing and locks a new temporary file for NAME; returns its
    // descriptor and its name in `temporaryName`, or -1 with errno set.
    int createTemporary(const std::string& name, std::string& temporaryName) const;

    // Removes the temporary files that runs killed before they could clean up left here:
    // regular files of this process's user with a temporary name that no running process
    // holds locked. Returns their names.
    std::vector<std::string> removeLeftoverTemporaryFiles() const;

  private:
    void identify(const std::string& description);
    int openBelow(const std::string& name);
    void checkOwner(const std::string& description) const;
    void probe(const std::string& description) const;

    std::string folderPath;
    int folderFd = -1;
    bool makeDurable;
    dev_t device = 0;
    ino_t inode = 0;
};

// True for a name OutputFolder::createTemporary makes.
bool isTemporaryName(const std::string& name);

}  // namespace segmora
