#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "finished_files.h"
#include "output_folder.h"
#include "photo_job.h"

namespace segmora {

// The folders a batch writes into, held open for the whole run, with their lists of
// finished files (one list per folder; the label and picture folders may be one).
class BatchOutputs {
  public:
    // Opens and checks the label folder and the picture folder (empty: none) as
    // OutputFolder does, removes the temporary files that killed runs left in them (named
    // on `notes`), and opens their lists of finished files; with `resume` the lists are
    // read. Throws std::runtime_error for a folder or list that cannot be used.
    BatchOutputs(const std::string& labelDir, const std::string& pictureDir, bool durable,
                 bool resume, std::ostream& notes);

    // Points the job's outputs at the folders (see PhotoJob).
    void attach(PhotoJob& job) const;
    // True when the job's label file (and picture) is a file a batch finished (see
    // FinishedFiles) and is not older than the photo and its region file. An output that
    // exists but does not count is named on `notes` with the reason: it is redone.
    bool finished(const PhotoJob& job, std::ostream& notes) const;
    // Lists the job's outputs as finished, once they are in place.
    void recordFinished(const PhotoJob& job) const;

  private:
    std::unique_ptr<OutputFolder> labelFolder, pictureFolder;
    std::unique_ptr<FinishedFiles> labelsDone, picturesDone;
    bool shared = false;  // one folder for both
};

}  // namespace segmora
