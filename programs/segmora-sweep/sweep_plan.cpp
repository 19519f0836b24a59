#include "sweep_plan.h"

#include <filesystem>
#include <stdexcept>

#include "truth_files.h"

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
    for (const ListedPhoto& photo : photos) {
        auto found = plan.truths.find(photo.folder);
        if (found == plan.truths.end()) {
            found = plan.truths.emplace(photo.folder, truthFolderOf(options.truthDir, photo.folder))
                        .first;
        }
        std::error_code error;
        const bool exists = std::filesystem::exists(photo.path, error);
        const bool hasTruth = !truthFilesOf(found->second.files, photoName(photo.path)).empty();
        if (options.requireTruths || hasTruth || !exists || !photo.unlisted.empty()) {
            plan.photos.push_back(photo);
        } else {
            plan.withoutTruth.push_back(photo.path);
        }
    }
    return plan;
}

}  // namespace segmora
