#include "photo_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <system_error>

#include "text_case.h"

namespace fs = std::filesystem;

namespace segmora {

namespace {

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

bool isOneOf(int folder, const std::vector<FolderIdentity>& identities) {
    struct stat info;
    if (identities.empty() || ::fstat(folder, &info) != 0) return false;
    return std::find(identities.begin(), identities.end(),
                     FolderIdentity{info.st_dev, info.st_ino}) != identities.end();
}

// A search of a folder tree in which every folder below the searched one is opened from
// the one above without following a link.
struct FolderSearch {
    bool recursive;
    const std::vector<FolderIdentity>& skipped;
    std::vector<ListedPhoto>& photos;
    std::vector<std::string>* linkedFolders;

    // The photos in the open folder `fd` at `path` (`sub` below the searched one, "" for
    // that one itself), and with `recursive` those below. Takes over `fd`. A folder below
    // that cannot be listed becomes an entry of its own; the searched one throws.
    void add(int fd, const std::string& path, const std::string& sub) {
        const auto unlisted = [&](int error) {
            if (sub.empty()) failListing(path, std::error_code(error, std::generic_category()));
            photos.push_back(
                {path, "", "cannot list folder: " + std::string(std::strerror(error))});
        };
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (dir == nullptr) {
            const int error = errno;
            if (fd >= 0) ::close(fd);
            return unlisted(error);
        }
        std::vector<std::string> below;
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") take(::dirfd(dir), path, sub, name, below);
            errno = 0;
        }
        const int error = errno;
        if (error != 0) {
            ::closedir(dir);
            return unlisted(error);
        }
        for (const std::string& name : below) {
            const int child = ::openat(::dirfd(dir), name.c_str(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0 && isOneOf(child, skipped)) {
                ::close(child);
                continue;
            }
            add(child, path + "/" + name, sub + name + "/");
        }
        ::closedir(dir);
    }

    void take(int fd, const std::string& path, const std::string& sub, const std::string& name,
              std::vector<std::string>& below) {
        struct stat entry, target;
        if (::fstatat(fd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) return;
        const bool link = S_ISLNK(entry.st_mode);
        if (link && ::fstatat(fd, name.c_str(), &target, 0) != 0) target = entry;
        const struct stat& info = link ? target : entry;
        if (S_ISDIR(info.st_mode)) {
            if (!recursive) return;
            if (!link)
                below.push_back(name);
            else if (linkedFolders != nullptr)
                linkedFolders->push_back(path + "/" + name);
        } else if (S_ISREG(info.st_mode) && hasPhotoExtension(name)) {
            photos.push_back({path + "/" + name, sub});
        }
    }
};

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
                                       bool nullSeparated,
                                       std::vector<std::string>* linkedFolders) {
    const std::vector<FolderIdentity> skipped = identitiesOf(resultFolders);
    std::vector<ListedPhoto> photos;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (input == "-") {
            addListed(pathList, nullSeparated, photos);
        } else if (fs::is_directory(input, error)) {
            std::string folder = input;
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            FolderSearch{recursive, skipped, photos, linkedFolders}.add(
                ::open(input.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), folder, "");
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
