#include "photo_list.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
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

void addFolder(const std::string& folder, std::vector<std::string>& photos) {
    std::error_code error;
    fs::directory_iterator entry(folder, error);
    if (error) failListing(folder, error);
    for (; entry != fs::directory_iterator(); entry.increment(error)) {
        if (error) failListing(folder, error);
        const std::string name = entry->path().filename().string();
        std::error_code statusError;
        if (hasPhotoExtension(name) && entry->is_regular_file(statusError)) {
            photos.push_back((fs::path(folder) / name).string());
        }
    }
    if (error) failListing(folder, error);
}

void addListed(std::istream& pathList, std::vector<std::string>& photos) {
    std::string line;
    while (std::getline(pathList, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) photos.push_back(line);
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

std::vector<std::string> collectPhotos(const std::vector<std::string>& inputs,
                                       std::istream& pathList) {
    std::vector<std::string> photos;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (input == "-") {
            addListed(pathList, photos);
        } else if (fs::is_directory(input, error)) {
            addFolder(input, photos);
        } else {
            photos.push_back(input);
        }
    }
    std::sort(photos.begin(), photos.end());
    return photos;
}

std::vector<std::string> sharedNames(const std::vector<std::string>& photos) {
    std::vector<std::string> names;
    names.reserve(photos.size());
    for (const std::string& photo : photos) names.push_back(photoName(photo));
    std::sort(names.begin(), names.end());
    std::vector<std::string> shared;
    for (size_t i = 1; i < names.size(); ++i) {
        if (names[i] == names[i - 1] && (shared.empty() || shared.back() != names[i])) {
            shared.push_back(names[i]);
        }
    }
    return shared;
}

std::vector<std::string> shardOf(const std::vector<std::string>& photos, const Shard& shard) {
    std::vector<std::string> share;
    for (size_t i = static_cast<size_t>(shard.index); i < photos.size();
         i += static_cast<size_t>(shard.count)) {
        share.push_back(photos[i]);
    }
    return share;
}

}  // namespace segmora
