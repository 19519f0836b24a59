#include "photo_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace segmora {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void failListing(const std::string& folder, const std::error_code& error) {
    throw std::runtime_error("cannot list folder '" + folder + "': " + error.message());
}

using FolderIdentity = std::pair<dev_t, ino_t>;

std::vector<FolderIdentity> identitiesOf(const std::vector<std::string>& folders) {
    std::vector<FolderIdentity> identities;
    for (const std::string& folder : folders) {
        struct stat info;
        if (::stat(folder.c_str(), &info) == 0) identities.push_back({info.st_dev, info.st_ino});
    }
    return identities;
}

bool isOneOf(const fs::path& folder, const std::vector<FolderIdentity>& identities) {
    struct stat info;
    if (identities.empty() || ::stat(folder.c_str(), &info) != 0) return false;
    return std::find(identities.begin(), identities.end(),
                     FolderIdentity{info.st_dev, info.st_ino}) != identities.end();
}

// The photos in `folder` (`sub` below the searched one, "" for that one itself), and with
// `recursive` in the folders below it (but for those of `skipped`). A folder below that
// cannot be listed becomes an entry of its own; the searched one throws.
void addFolder(const fs::path& folder, const std::string& sub, bool recursive,
               const std::vector<FolderIdentity>& skipped, std::vector<ListedPhoto>& photos) {
    const auto unlisted = [&](const std::error_code& error) {
        if (sub.empty()) failListing(folder.string(), error);
        photos.push_back({folder.string(), "", "cannot list folder: " + error.message()});
    };
    std::error_code error;
    fs::directory_iterator entry(folder, error);
    if (error) return unlisted(error);
    std::vector<std::string> below;
    for (; entry != fs::directory_iterator(); entry.increment(error)) {
        if (error) break;
        const std::string name = entry->path().filename().string();
        std::error_code statusError;
        if (entry->is_directory(statusError) || statusError) {
            if (recursive && !statusError && !entry->is_symlink(statusError) &&
                !isOneOf(entry->path(), skipped)) {
                below.push_back(name);
            }
        } else if (hasPhotoExtension(name) && entry->is_regular_file(statusError)) {
            photos.push_back({(folder / name).string(), sub});
        }
    }
    if (error) return unlisted(error);
    for (const std::string& name : below) {
        addFolder(folder / name, sub + name + "/", recursive, skipped, photos);
    }
}

void addListed(std::istream& pathList, bool nullSeparated, std::vector<ListedPhoto>& photos) {
    std::string line;
    for (size_t number = 1; std::getline(pathList, line, nullSeparated ? '\0' : '\n'); ++number) {
        if (!nullSeparated) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find('\0') != std::string::npos) {
                throw std::runtime_error("line " + std::to_string(number) +
                                         " of the photo list holds a NUL byte; give -0 for a "
                                         "list of NUL-ended paths");
            }
        }
        if (!line.empty()) photos.push_back({line, ""});
    }
}

}  // namespace

bool hasPhotoExtension(const std::string& fileName) {
    static const std::array<const char*, 12> extensions = {
        "png", "jpg", "jpeg", "jpe", "bmp", "tif", "tiff", "webp", "ppm", "pgm", "pnm", "jp2"};
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos) return false;
    const std::string extension = lowerCase(fileName.substr(dot + 1));
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

std::string photoName(const std::string& path) {
    const std::string name = fileNameOf(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::vector<ListedPhoto> collectPhotos(const std::vector<std::string>& inputs,
                                       std::istream& pathList, bool recursive,
                                       const std::vector<std::string>& resultFolders,
                                       bool nullSeparated) {
    const std::vector<FolderIdentity> skipped = identitiesOf(resultFolders);
    std::vector<ListedPhoto> photos;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (input == "-") {
            addListed(pathList, nullSeparated, photos);
        } else if (fs::is_directory(input, error)) {
            addFolder(input, "", recursive, skipped, photos);
        } else {
            photos.push_back({input, ""});
        }
    }
    std::stable_sort(photos.begin(), photos.end(),
                     [](const ListedPhoto& a, const ListedPhoto& b) { return a.path < b.path; });
    return photos;
}

std::optional<std::pair<std::string, std::string>> clashingPhotos(
    const std::vector<ListedPhoto>& photos) {
    std::map<std::string, const std::string*> taken;
    for (const ListedPhoto& photo : photos) {
        if (!photo.unlisted.empty()) continue;
        const auto [at, added] = taken.emplace(photo.resultName(), &photo.path);
        if (!added) return std::make_pair(*at->second, photo.path);
    }
    return std::nullopt;
}

std::vector<ListedPhoto> shardOf(const std::vector<ListedPhoto>& photos, const Shard& shard) {
    std::vector<ListedPhoto> share;
    for (size_t i = static_cast<size_t>(shard.index); i < photos.size();
         i += static_cast<size_t>(shard.count)) {
        share.push_back(photos[i]);
    }
    return share;
}

}  // namespace segmora
