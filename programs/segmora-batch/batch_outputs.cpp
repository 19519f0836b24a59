#include "batch_outputs.h"

#include <sys/stat.h>

#include <vector>

#include "batch_console.h"
#include "graph_files.h"

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
                    std::ostream& notes, OutputKind kind = OutputKind::Labels) {
    struct stat info;
    std::optional<std::string> why = list.whyUnfinished(nameIn(path), settingsKey(job, kind), info);
    if (!why) {
        if (isOlder(info, job.imagePath)) {
            why = "it is older than the photo";
        } else if (!job.regionFilePath.empty() && isOlder(info, job.regionFilePath)) {
            why = "it is older than the region file";
        } else if (!job.maskPath.empty() && isOlder(info, job.maskPath)) {
            why = "it is older than the mask";
        }
    }
    if (why && !why->empty()) {
        notes << "segmora-batch: redoing '" << escapedName(path) << "': " << *why << std::endl;
    }
    return !why;
}

}  // namespace

// One relative folder's label, picture and mean-picture folders and their lists.
struct BatchOutputs::Place {
    std::unique_ptr<OutputFolder> labelFolder, pictureFolder, meanFolder;
    std::unique_ptr<FinishedFiles> labelsDone, picturesDone, meansDone;
    bool shared = false;                 // one folder for labels and pictures
    FinishedFiles* meansList = nullptr;  // the list of the mean pictures' folder

    const FinishedFiles& picturesList() const { return shared ? *labelsDone : *picturesDone; }
};

namespace {

// The graph files of a job, when it has them.
std::vector<std::string> graphPaths(const PhotoJob& job) {
    if (job.graphPrefix.empty()) return {};
    return {graphNodesPath(job.graphPrefix), graphEdgesPath(job.graphPrefix)};
}

}  // namespace

BatchOutputs::BatchOutputs(const std::string& labelDir, const std::string& pictureDir,
                           const std::string& meanPictureDir, const std::set<std::string>& folders,
                           bool durable, bool resume, std::ostream& notes) {
    const Place* top = nullptr;
    // A folder below the top one is opened from it, never through a link.
    const auto open = [&](const std::string& path, const std::string& folder,
                          const char* description, std::unique_ptr<OutputFolder> Place::*member) {
        return top == nullptr || folder.empty()
                   ? std::make_unique<OutputFolder>(path, description, durable)
                   : std::make_unique<OutputFolder>(*(top->*member), folder, description, durable);
    };
    for (const std::string& folder : folders) {  // "" comes first
        auto place = std::make_unique<Place>();
        place->labelFolder = open(labelDir, folder, "output folder", &Place::labelFolder);
        removeLeftovers(*place->labelFolder, notes);
        place->labelsDone = std::make_unique<FinishedFiles>(*place->labelFolder);
        if (resume) place->labelsDone->load();
        if (!pictureDir.empty()) {
            place->pictureFolder =
                open(pictureDir, folder, "picture folder", &Place::pictureFolder);
            place->shared = place->pictureFolder->sameAs(*place->labelFolder);
            if (!place->shared) {
                removeLeftovers(*place->pictureFolder, notes);
                place->picturesDone = std::make_unique<FinishedFiles>(*place->pictureFolder);
                if (resume) place->picturesDone->load();
            }
        }
        if (!meanPictureDir.empty()) {
            place->meanFolder =
                open(meanPictureDir, folder, "mean picture folder", &Place::meanFolder);
            openMeanFolder(*place, resume, notes);
        }
        if (folder.empty()) top = place.get();
        places.emplace(folder, std::move(place));
    }
}

// The mean pictures share the list of the label or picture folder when they go to the
// same folder, as the pictures share the labels' list.
void BatchOutputs::openMeanFolder(Place& place, bool resume, std::ostream& notes) {
    if (place.meanFolder->sameAs(*place.labelFolder)) {
        place.meansList = place.labelsDone.get();
    } else if (place.picturesDone && place.meanFolder->sameAs(*place.pictureFolder)) {
        place.meansList = place.picturesDone.get();
    } else {
        removeLeftovers(*place.meanFolder, notes);
        place.meansDone = std::make_unique<FinishedFiles>(*place.meanFolder);
        if (resume) place.meansDone->load();
        place.meansList = place.meansDone.get();
    }
}

BatchOutputs::~BatchOutputs() = default;

const BatchOutputs::Place& BatchOutputs::placeOf(const std::string& folder) const {
    return *places.at(folder);
}

void BatchOutputs::attach(PhotoJob& job, const std::string& folder) const {
    const Place& place = placeOf(folder);
    job.labelFolder = place.labelFolder.get();
    if (!job.picturePath.empty()) job.pictureFolder = place.pictureFolder.get();
    if (!job.meanPicturePath.empty()) job.meanPictureFolder = place.meanFolder.get();
}

bool BatchOutputs::finished(const PhotoJob& whole, const std::string& folder,
                            std::ostream& notes) const {
    const Place& place = placeOf(folder);
    bool done = true;
    for (const PhotoJob& job : jobsPerCount(whole)) {
        done = outputFinished(*place.labelsDone, job.outputPath, job, notes) && done;
        if (!job.picturePath.empty())
            done = outputFinished(place.picturesList(), job.picturePath, job, notes,
                                  OutputKind::BoundaryPicture) &&
                   done;
        for (const std::string& path : graphPaths(job))
            done = outputFinished(*place.labelsDone, path, job, notes) && done;
        if (!job.meanPicturePath.empty())
            done = outputFinished(*place.meansList, job.meanPicturePath, job, notes,
                                  OutputKind::MeanPicture) &&
                   done;
    }
    return done;
}

void BatchOutputs::recordFinished(const PhotoJob& whole) const {
    for (const auto& [folder, place] : places) {
        if (place->labelFolder.get() != whole.labelFolder) continue;
        for (const PhotoJob& job : jobsPerCount(whole)) {
            const std::string settings = settingsKey(job);
            place->labelsDone->record(nameIn(job.outputPath), settings);
            for (const std::string& path : graphPaths(job))
                place->labelsDone->record(nameIn(path), settings);
            if (!job.picturePath.empty()) {
                (place->shared ? place->labelsDone : place->picturesDone)
                    ->record(nameIn(job.picturePath),
                             settingsKey(job, OutputKind::BoundaryPicture));
            }
            if (!job.meanPicturePath.empty())
                place->meansList->record(nameIn(job.meanPicturePath),
                                         settingsKey(job, OutputKind::MeanPicture));
        }
        return;
    }
}

}  // namespace segmora
