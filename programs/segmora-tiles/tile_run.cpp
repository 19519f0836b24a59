#include "tile_run.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "text_hash.h"

namespace segmora {

namespace {

// Version 2: the tiles take the sweep's bytes, so that states left by a run of version 1
// (without a sweep) carry another key and are redone, never mixed with swept ones.
// Version 3: the states' check sums are summed four words side by side; states of version
// 2 are redone likewise.
// Version 4: the states hold runs (labels along the rows, the join's edges by weight);
// states of version 3 are redone likewise.
constexpr const char* kFirstLine = "segmora-tiles run 4";

// A float written so that reading it back gives the same float.
std::string exactText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

int64_t whole(const std::map<std::string, std::string>& fields, const std::string& key) {
    const auto found = fields.find(key);
    if (found == fields.end()) throw std::runtime_error("it has no " + key);
    try {
        size_t used = 0;
        const long long value = std::stoll(found->second, &used);
        if (used == found->second.size()) return value;
    } catch (const std::exception&) {
    }
    throw std::runtime_error("its " + key + " is not a whole number");
}

float number(const std::map<std::string, std::string>& fields, const std::string& key) {
    const auto found = fields.find(key);
    if (found == fields.end()) throw std::runtime_error("it has no " + key);
    try {
        size_t used = 0;
        const float value = std::stof(found->second, &used);
        if (used == found->second.size()) return value;
    } catch (const std::exception&) {
    }
    throw std::runtime_error("its " + key + " is not a number");
}

}  // namespace

std::string TileRun::text() const {
    const Parameters& p = image.parameters;
    std::ostringstream out;
    out << kFirstLine << "\nphoto " << photoPath << "\nphoto-bytes " << photoBytes
        << "\nphoto-changed " << photoChanged << "\nregions " << regionsPath << "\nregions-bytes "
        << regionsBytes << "\nregions-changed " << regionsChanged << "\nlabels " << outputPath
        << "\nwidth " << image.width << "\nheight " << image.height << "\ntile-width "
        << image.tileWidth << "\ntile-height " << image.tileHeight << "\nthreshold "
        << exactText(p.threshold) << "\nsigma " << exactText(p.sigma) << "\ncap-divisor "
        << p.capDivisor << "\nmin-size " << p.minSize << "\n";
    return out.str();
}

std::string TileRun::key() const {
    return hashText(text());
}

TileRun parseTileRun(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine) {
        throw std::runtime_error("it is not a run description of this version (plan again)");
    }
    std::map<std::string, std::string> fields;
    while (std::getline(in, line)) {
        const size_t space = line.find(' ');
        if (space == std::string::npos) throw std::runtime_error("a line has no value");
        fields[line.substr(0, space)] = line.substr(space + 1);
    }
    TileRun run;
    run.photoPath = fields["photo"];
    run.outputPath = fields["labels"];
    run.photoBytes = whole(fields, "photo-bytes");
    run.photoChanged = whole(fields, "photo-changed");
    run.regionsPath = fields["regions"];
    run.regionsBytes = whole(fields, "regions-bytes");
    run.regionsChanged = whole(fields, "regions-changed");
    run.image.withRegions = !run.regionsPath.empty();
    run.image.width = whole(fields, "width");
    run.image.height = whole(fields, "height");
    run.image.tileWidth = whole(fields, "tile-width");
    run.image.tileHeight = whole(fields, "tile-height");
    Parameters& p = run.image.parameters;
    p.threshold = number(fields, "threshold");
    p.sigma = number(fields, "sigma");
    p.capDivisor = static_cast<int>(whole(fields, "cap-divisor"));
    p.minSize = static_cast<int>(whole(fields, "min-size"));
    p.threads = 1;
    if (run.photoPath.empty() || run.outputPath.empty()) {
        throw std::runtime_error("it names no photo or no label file");
    }
    if (run.text() != text) throw std::runtime_error("it holds lines of another kind");
    checkTiledImage(run.image);
    return run;
}

TileRun loadTileRun(const std::string& workFolder) {
    const std::string path = workFolder + "/" + kRunFileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("no run planned in '" + workFolder + "': no " + kRunFileName +
                                 " (run plan first)");
    }
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return parseTileRun(text.str());
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot read run description '" + path + "': " + e.what());
    }
}

namespace {

// A file's size and time of change (nanoseconds since 1970).
void stampFile(const std::string& path, const std::string& what, int64_t& bytes, int64_t& changed) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw std::runtime_error(what + " '" + path + "' is not a readable file");
    }
    bytes = info.st_size;
    changed = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
}

}  // namespace

void stampPhoto(TileRun& run) {
    stampFile(run.photoPath, "photo", run.photoBytes, run.photoChanged);
    if (!run.regionsPath.empty()) {
        stampFile(run.regionsPath, "region map", run.regionsBytes, run.regionsChanged);
    }
}

void checkPhotoUnchanged(const TileRun& run) {
    TileRun now = run;
    stampPhoto(now);
    if (now.photoBytes != run.photoBytes || now.photoChanged != run.photoChanged) {
        throw std::runtime_error("photo '" + run.photoPath +
                                 "' changed since the run was planned: plan again");
    }
    if (now.regionsBytes != run.regionsBytes || now.regionsChanged != run.regionsChanged) {
        throw std::runtime_error("region map '" + run.regionsPath +
                                 "' changed since the run was planned: plan again");
    }
}

}  // namespace segmora
