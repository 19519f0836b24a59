#include "batch_outputs.h"

#include <sys/stat.h>

#include "batch_console.h"

namespace segmora {

namespace {

std::string nameIn(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

void removeLeftovers(const OutputFolder& folder, std::ostream& notes) {
    for (const std::string& name : folder.removeLeftoverTemporaryFiles()) {
        notes << "segmora-batch: removed '" << escapedName(folder.path() + "/" + name)
              << "', left by a run that was killed" << std::endl;
    }
}

bool isOlder(const struct stat& output, const std::string& input) {
    struct stat info;
    if (::stat(input.c_str(), &info) != 0) return false;  // the run reports it
    const timespec a = output.st_mtim, b = info.st_mtim;
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// True when the output `path` counts as finished; otherwise says why on `notes` when the
// file is there.
bool outputFinished(const FinishedFiles& list, const std::string& path, const PhotoJob& job,
                    std::ostream& notes) {
    struct stat info;
    std::optional<std::string> why = list.whyUnfinished(nameIn(path), info);
    if (!why) {
        if (isOlder(info, job.imagePath)) {
            why = "it is older than the photo";
        } else if (!job.regionFilePath.empty() && isOlder(info, job.regionFilePath)) {
            why = "it is older than the region file";
        }
    }
    if (why && !why->empty()) {
        notes << "segmora-batch: redoing '" << escapedName(path) << "': " << *why << std::endl;
    }
    return !why;
}

}  // namespace

BatchOutputs::BatchOutputs(const std::string& labelDir, const std::string& pictureDir, bool durable,
                           bool resume, std::ostream& notes) {
    labelFolder = std::make_unique<OutputFolder>(labelDir, "output folder", durable);
    removeLeftovers(*labelFolder, notes);
    labelsDone = std::make_unique<FinishedFiles>(*labelFolder);
    if (resume) labelsDone->load();
    if (pictureDir.empty()) return;
    pictureFolder = std::make_unique<OutputFolder>(pictureDir, "picture folder", durable);
    shared = pictureFolder->sameAs(*labelFolder);
    if (shared) return;
    removeLeftovers(*pictureFolder, notes);
    picturesDone = std::make_unique<FinishedFiles>(*pictureFolder);
    if (resume) picturesDone->load();
}

void BatchOutputs::attach(PhotoJob& job) const {
    job.labelFolder = labelFolder.get();
    if (!job.picturePath.empty()) job.pictureFolder = pictureFolder.get();
}

bool BatchOutputs::finished(const PhotoJob& job, std::ostream& notes) const {
    const bool label = outputFinished(*labelsDone, job.outputPath, job, notes);
    if (job.picturePath.empty()) return label;
    const FinishedFiles& pictures = shared ? *labelsDone : *picturesDone;
    return outputFinished(pictures, job.picturePath, job, notes) && label;
}

void BatchOutputs::recordFinished(const PhotoJob& job) const {
    labelsDone->record(nameIn(job.outputPath));
    if (!job.picturePath.empty())
        (shared ? labelsDone : picturesDone)->record(nameIn(job.picturePath));
}

}  // namespace segmora
