#include "output_names.h"

#include <filesystem>
#include <map>
#include <utility>

#include "graph_files.h"
#include "label_format.h"

namespace segmora {

namespace {

struct Owner {
    const std::string* photo;
    const char* what;
};

// The folder as the system finds it, whether it exists yet or not.
std::filesystem::path folderOf(const std::string& path) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::weakly_canonical(path, error);
    if (error) folder = std::filesystem::absolute(path, error);
    folder = folder.lexically_normal();
    return folder.has_filename() ? folder : folder.parent_path();
}

}  // namespace

std::optional<std::string> sharedOutputName(const std::vector<ListedPhoto>& photos,
                                            const BatchOptions& options) {
    const std::string labelExtension =
        labelFileExtension(options.photoSettings.labelFormat.value_or(LabelFormat::Csv));
    const bool pictureApart =
        !options.pictureDir.empty() && folderOf(options.pictureDir) != folderOf(options.outputDir);
    // Keyed by the path as the output folder's (or the picture folder's) own name.
    std::map<std::string, Owner> taken;
    std::optional<std::string> clash;
    const auto take = [&](const std::string& path, const ListedPhoto& photo, const char* what) {
        const auto [at, added] = taken.emplace(path, Owner{&photo.path, what});
        if (added || clash) return;
        clash = "'" + path + "' would be both " + at->second.what + " of '" + *at->second.photo +
                "' and " + what + " of '" + photo.path + "'";
    };
    for (const ListedPhoto& photo : photos) {
        if (!photo.unlisted.empty()) continue;
        const std::string base = options.outputDir + "/" + photo.resultName();
        take(base + labelExtension, photo, "the label file");
        if (options.graph) {
            take(graphNodesPath(base), photo, "a graph file");
            take(graphEdgesPath(base), photo, "a graph file");
        }
        if (!options.pictureDir.empty()) {
            const std::string dir = pictureApart ? options.pictureDir : options.outputDir;
            take(dir + "/" + photo.resultName() + ".png", photo, "the picture");
        }
        if (clash) return clash;
    }
    return std::nullopt;
}

}  // namespace segmora
