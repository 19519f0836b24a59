#pragma once

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>

#include "output_folder.h"
#include "photo_job.h"

namespace segmora {

// The files a batch finished in one output folder, listed in the folder itself as
// ".segmora-batch-done": one line "SIZE SECONDS.NANOSECONDS #SETTINGS NAME" (size and
// modification time of the file, the settings it was made with as 16 hexadecimal digits,
// NAME escaped as on standard output) appended once the file is in place and durable. A
// file counts as finished only when it is the very file listed, made with the settings
// asked for now: a regular file (not a link) with the size, time and settings recorded
// for its name. A file of the same name left by hand, cut short or touched since does not
// count; neither does one written by a killed run, before the list existed, or listed
// without settings (by an older segmora-batch).
// The settings a photo's outputs are made with, for the list: the knobs, the label format
// and the region file, as 16 hexadecimal digits; for a picture also its kind, and for a
// boundary picture its colours and mode. The threads are left out: the outputs do not
// depend on them.
enum class OutputKind { Labels, BoundaryPicture, MeanPicture };
std::string settingsKey(const PhotoJob& job, OutputKind kind = OutputKind::Labels);

class FinishedFiles {
  public:
    // Opens (or creates) the list in `folder`, without following a link or waiting on a
    // FIFO there. Throws std::runtime_error naming the list when it cannot be used.
    explicit FinishedFiles(const OutputFolder& folder);
    ~FinishedFiles();
    FinishedFiles(const FinishedFiles&) = delete;
    FinishedFiles& operator=(const FinishedFiles&) = delete;

    // Reads the list as it is now; the last line for a name counts.
    void load();
    // Nothing when `name` is a listed file; else why not, empty when there is no file at
    // all. `info` receives the file's status (lstat) when it exists.
    std::optional<std::string> whyUnfinished(const std::string& name, const std::string& settings,
                                             struct stat& info) const;
    // Adds the file `name` as it is now, made with `settings` (see settingsKey). Safe from
    // several threads. False when it could not be added (the file is then redone by a
    // later --resume).
    bool record(const std::string& name, const std::string& settings) const;

    static constexpr const char* kListName = ".segmora-batch-done";

  private:
    struct Entry {
        long long size, seconds, nanoseconds;
        std::string settings;  // empty: none recorded
    };

    const OutputFolder& folder;
    int listFd = -1;
    std::map<std::string, Entry> entries;  // by escaped name
};

}  // namespace segmora
