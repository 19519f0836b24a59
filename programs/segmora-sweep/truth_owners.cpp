#include "truth_owners.h"

#include <dirent.h>

#include <algorithm>
#include <memory>

#include "photo_list.h"
#include "text_case.h"

namespace segmora {

namespace {

bool isTruthExtension(const std::string& extension) {
    const std::string lower = lowerCase(extension);
    return lower == "png" || lower == "npy" || lower == "csv";
}

// The photo names among `known` that `file` fits, shortest first.
std::vector<std::string> fittingNames(const std::string& file, const std::set<std::string>& known) {
    std::vector<std::string> names;
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || dot == 0 || !isTruthExtension(file.substr(dot + 1)))
        return names;
    for (size_t end = 1; end <= dot; ++end) {
        const char next = file[end];
        if ((end == dot || next == '_' || next == '-' || next == '.') &&
            known.count(file.substr(0, end)) != 0) {
            names.push_back(file.substr(0, end));
        }
    }
    return names;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

TruthOwners assignTruths(const std::vector<std::string>& files,
                         const std::vector<std::string>& names,
                         const std::set<std::string>& known) {
    TruthOwners owners;
    std::set<std::string> all = known;
    all.insert(names.begin(), names.end());
    const std::set<std::string> inRun(names.begin(), names.end());
    for (const std::string& name : names) owners.byPhoto[name];
    for (const std::string& file : files) {
        const std::vector<std::string> fitting = fittingNames(file, all);
        if (fitting.empty()) continue;
        const std::string& owner = fitting.back();
        const auto run = [&](const std::string& name) { return inRun.count(name) != 0; };
        if (fitting.size() > 1 && std::any_of(fitting.begin(), fitting.end(), run)) {
            std::string others;
            for (size_t k = 0; k + 1 < fitting.size(); ++k)
                others += (k == 0 ? "'" : ", '") + fitting[k] + "'";
            owners.warnings.push_back("ground truth '" + file + "' counts for photo '" + owner +
                                      "' only, not for " + others);
        }
        const auto photo = owners.byPhoto.find(owner);
        if (photo != owners.byPhoto.end()) photo->second.push_back(file);
    }
    return owners;
}

std::set<std::string> photoNamesBeside(const std::vector<std::string>& paths) {
    std::set<std::string> folders, names;
    for (const std::string& path : paths) folders.insert(folderOf(path));
    for (const std::string& folder : folders) {
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
        if (!dir) continue;
        while (const dirent* entry = ::readdir(dir.get())) {
            if (hasPhotoExtension(entry->d_name)) names.insert(photoName(entry->d_name));
        }
    }
    return names;
}

}  // namespace segmora
