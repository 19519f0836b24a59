#pragma once

#include <sys/types.h>

#include <string>

namespace segmora {

// Where an output path finally leads, found without following any symbolic link that the
// kernel's protected_symlinks rule refuses: a link in a sticky, world-writable folder
// whose owner is neither this process's user nor the folder's owner (another user may
// have planted it, e.g. in /tmp). The rule holds whatever the machine's own setting.
//
// Returns the path with every symbolic link on it resolved (the last name need not
// exist). Throws std::runtime_error "cannot create DESCRIPTION 'PATH': ..." when a link
// is refused, links loop, or a folder on the way cannot be searched.
std::string resolveOutputPath(const std::string& path, const std::string& description);

// Which file a path names, for telling whether two paths would touch the same file:
// device and inode of an existing file, else those of its folder and its last name.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // empty for an existing file
    bool known = false;

    bool operator==(const FileIdentity& other) const {
        return known && other.known && device == other.device && inode == other.inode &&
               name == other.name;
    }
};

// The identity of `path` (following links as the kernel does); not known when neither the
// file nor its folder exists.
FileIdentity identifyFile(const std::string& path);
// The same without following a link at the last name: the entry that a rename would
// replace.
FileIdentity identifyEntry(const std::string& path);

// 1 or 2 when `path` is the file open as this process's standard output or error (same
// device and inode), else -1. Such a target is written through the descriptor, never
// replaced: `Segmora ... -o /dev/stdout >> log` appends to the log.
int standardStreamOf(const std::string& path);

}  // namespace segmora
