#pragma once

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "finished_files.h"
#include "output_folder.h"
#include "photo_job.h"

namespace segmora {

// The folders a batch writes into, held open for the whole run, with their lists of
// finished files (one list per folder; the label, picture and mean-picture folders may be
// one). With -R each relative folder below them is a place of its own.
class BatchOutputs {
  public:
    // Opens and checks, for each relative folder in `folders` ("" for the top), the label
    // folder below `labelDir`, the picture folder below `pictureDir` and the mean-colour
    // picture folder below `meanPictureDir` (empty: none) as OutputFolder does (the folders
    // below made and opened from the top one without following links), removes the
    // temporary files that killed runs left in them (named on `notes`), and opens their lists of
    // finished files; with `resume` the lists are read. Throws std::runtime_error for a folder or
    // list that cannot be used.
    BatchOutputs(const std::string& labelDir, const std::string& pictureDir,
                 const std::string& meanPictureDir, const std::set<std::string>& folders,
                 bool durable, bool resume, std::ostream& notes);
    ~BatchOutputs();

    // Points the job's outputs at the folders of `folder` (see PhotoJob).
    void attach(PhotoJob& job, const std::string& folder) const;
    // True when the job's label file (picture, graph files) is a file a batch finished
    // (see FinishedFiles) and is not older than the photo and its region file. An output
    // that exists but does not count is named on `notes` with the reason: it is redone.
    bool finished(const PhotoJob& job, const std::string& folder, std::ostream& notes) const;
    // Lists the job's outputs as finished, once they are in place.
    void recordFinished(const PhotoJob& job) const;

  private:
    struct Place;
    const Place& placeOf(const std::string& folder) const;
    static void openMeanFolder(Place& place, bool resume, std::ostream& notes);
    std::map<std::string, std::unique_ptr<Place>> places;
};

}  // namespace segmora
