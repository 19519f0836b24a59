#include "sweep_plan.h"

#include <filesystem>
#include <stdexcept>

#include "sweep_record.h"
#include "truth_files.h"
#include "truth_owners.h"

namespace segmora {

namespace {

TruthFolder truthFolderOf(const std::string& truthDir, const std::string& folder) {
    TruthFolder truths{folder.empty() ? truthDir : truthDir + "/" + folder.substr(0, folder.size() - 1),
                       {}};
    try {
        truths.files = listTruthFolder(truths.path);
    } catch (const std::runtime_error&) {
        if (folder.empty()) throw;  // the folder the user named
    }
    return truths;
}

}  // namespace

SweepPlan planSweep(const std::vector<ListedPhoto>& photos, const SweepOptions& options) {
    SweepPlan plan;
    plan.truths.emplace("", truthFolderOf(options.truthDir, ""));
    std::map<std::string, std::vector<const ListedPhoto*>> byFolder;
    for (const ListedPhoto& photo : photos) {
        if (plan.truths.count(photo.folder) == 0) {
            plan.truths.emplace(photo.folder, truthFolderOf(options.truthDir, photo.folder));
        }
        byFolder[photo.folder].push_back(&photo);
    }
    for (const auto& [folder, listed] : byFolder) {
        std::vector<std::string> names, paths;
        for (const ListedPhoto* p : listed) {
            names.push_back(photoName(p->path));
            paths.push_back(p->path);
        }
        TruthOwners owners =
            assignTruths(plan.truths.at(folder).files, names, photoNamesBeside(paths));
        for (const ListedPhoto* p : listed) {
            plan.truthFiles[p->resultName()] = owners.byPhoto[photoName(p->path)];
        }
        plan.warnings.insert(plan.warnings.end(), owners.warnings.begin(), owners.warnings.end());
    }
    for (const ListedPhoto& photo : photos) {
        std::error_code error;
        const bool exists = std::filesystem::exists(photo.path, error);
        const std::vector<std::string>& files = plan.truthFiles[photo.resultName()];
        if (options.requireTruths || !files.empty() || !exists || !photo.unlisted.empty()) {
            plan.photos.push_back(photo);
            plan.inputs[photo.resultName()] =
                inputsKey(photo.path, options.ignoreOrientation,
                          plan.truths.at(photo.folder).path, files);
        } else {
            plan.withoutTruth.push_back(photo.path);
        }
    }
    return plan;
}

}  // namespace segmora
