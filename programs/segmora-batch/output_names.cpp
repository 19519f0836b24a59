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
    std::string shown;  // the path as the first taker's option gives it
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
        labelFileExtension(options.photoJob.labelFormat.value_or(LabelFormat::Csv));
    // Each output folder as the system finds it: two options may name one folder.
    std::map<std::string, std::string> folders;
    for (const std::string* dir :
         {&options.outputDir, &options.pictureDir, &options.meanPictureDir})
        if (!dir->empty()) folders[*dir] = folderOf(*dir).string();
    std::map<std::string, Owner> taken;  // by folder as found and name
    std::optional<std::string> clash;
    const auto take = [&](const std::string& dir, const std::string& name, const ListedPhoto& photo,
                          const char* what) {
        const auto [at, added] =
            taken.emplace(folders[dir] + "/" + name, Owner{&photo.path, what, dir + "/" + name});
        if (added || clash) return;
        clash = "'" + at->second.shown + "' would be both " + at->second.what + " of '" +
                *at->second.photo + "' and " + what + " of '" + photo.path + "'";
    };
    for (const ListedPhoto& photo : photos) {
        if (!photo.unlisted.empty()) continue;
        const std::string name = photo.resultName();
        take(options.outputDir, name + labelExtension, photo, "the label file");
        if (options.graph) {
            take(options.outputDir, graphNodesPath(name), photo, "a graph file");
            take(options.outputDir, graphEdgesPath(name), photo, "a graph file");
        }
        if (!options.pictureDir.empty())
            take(options.pictureDir, name + ".png", photo, "the picture");
        if (!options.meanPictureDir.empty())
            take(options.meanPictureDir, name + ".png", photo, "the mean-colour picture");
        if (clash) return clash;
    }
    return std::nullopt;
}

}  // namespace segmora
