#include "tile_states.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "output_file.h"
#include "output_folder.h"

namespace segmora {

namespace {

constexpr size_t kHeaderBytes = 64;
constexpr size_t kKeyBytes = 16;
constexpr char kTileMagic[9] = "SGMTILE1";
constexpr char kJoinMagic[9] = "SGMJOIN1";
constexpr char kSweepMagic[9] = "SGMSWEP1";

// The header: magic (8 bytes), run key (16), then three little-endian 64-bit numbers
// (a tile's: its number and the lengths of its label and join bytes, which follow in that
// order, the join bytes up to the end; the join's: the tile count, the superpixel count
// and 0; the sweep's: the length of its bytes, 0 and 0), the rest zero.
struct Header {
    std::string magic;
    std::string key;
    std::array<uint64_t, 3> numbers{};
};

std::string encode(const Header& header) {
    std::string bytes(kHeaderBytes, '\0');
    std::memcpy(&bytes[0], header.magic.data(), 8);
    std::memcpy(&bytes[8], header.key.data(), std::min(header.key.size(), kKeyBytes));
    for (size_t n = 0; n < 3; ++n) {
        for (size_t b = 0; b < 8; ++b) {
            bytes[24 + 8 * n + b] = static_cast<char>((header.numbers[n] >> (8 * b)) & 0xff);
        }
    }
    return bytes;
}

uint64_t decode64(const unsigned char* bytes) {
    uint64_t value = 0;
    for (int b = 7; b >= 0; --b) value = value << 8 | bytes[b];
    return value;
}

Header decode(const std::string& bytes) {
    Header header;
    header.magic = bytes.substr(0, 8);
    header.key = bytes.substr(8, kKeyBytes);
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t n = 0; n < 3; ++n) header.numbers[n] = decode64(raw + 24 + 8 * n);
    return header;
}

std::string statePath(const std::string& workFolder, int64_t tile) {
    return workFolder + "/" + tileStateName(tile);
}

// The header of a file and its size; false when the file cannot be opened or is shorter
// than a header.
bool readHeader(const std::string& path, Header& header, uint64_t& size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string bytes(kHeaderBytes, '\0');
    if (!in.read(&bytes[0], kHeaderBytes)) return false;
    header = decode(bytes);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

void requireComplete(const std::string& workFolder, const std::string& runKey, int64_t tile) {
    std::string why;
    switch (checkTileState(workFolder, runKey, tile, &why)) {
        case StateCheck::Complete:
            return;
        case StateCheck::Missing:
            throw std::runtime_error("tile state '" + statePath(workFolder, tile) +
                                     "' is missing: run the tile step for it");
        case StateCheck::Damaged:
        case StateCheck::OtherRun:
            break;
    }
    throw std::runtime_error("tile state '" + statePath(workFolder, tile) + "' " + why +
                             ": run the tile step again");
}

}  // namespace

std::string tileStateName(int64_t tile) {
    char name[40];
    std::snprintf(name, sizeof name, "tile-%08lld.state", static_cast<long long>(tile));
    return name;
}

void writeTileState(const OutputFolder& work, const std::string& runKey, int64_t tile,
                    const TileState& state) {
    OutputFile file(work, tileStateName(tile), "tile state");
    const std::string header =
        encode({kTileMagic, runKey, {uint64_t(tile), state.labels.size(), state.join.size()}});
    file.write(header.data(), header.size());
    file.write(reinterpret_cast<const char*>(state.labels.data()), state.labels.size());
    file.write(reinterpret_cast<const char*>(state.join.data()), state.join.size());
    file.commit();
}

StateCheck checkTileState(const std::string& workFolder, const std::string& runKey, int64_t tile,
                          std::string* why) {
    const std::string path = statePath(workFolder, tile);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return StateCheck::Missing;
    Header header;
    uint64_t size = 0;
    std::string reason;
    StateCheck check = StateCheck::Damaged;
    if (!readHeader(path, header, size) || header.magic != kTileMagic) {
        reason = "is not a tile state or is cut short";
    } else if (header.key != runKey || header.numbers[0] != uint64_t(tile)) {
        reason = "belongs to another run, photo or knobs";
        check = StateCheck::OtherRun;
    } else if (size != kHeaderBytes + header.numbers[1] + header.numbers[2]) {
        reason = "is cut short or damaged (" + std::to_string(size) + " bytes, not " +
                 std::to_string(kHeaderBytes + header.numbers[1] + header.numbers[2]) + ")";
    } else {
        return StateCheck::Complete;
    }
    if (why) *why = reason;
    return check;
}

std::unique_ptr<std::istream> openTileJoin(const std::string& workFolder, const std::string& runKey,
                                           int64_t tile) {
    requireComplete(workFolder, runKey, tile);
    const std::string path = statePath(workFolder, tile);
    Header header;
    uint64_t size = 0;
    if (!readHeader(path, header, size))
        throw std::runtime_error("cannot read tile state '" + path + "'");
    auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
    in->seekg(static_cast<std::streamoff>(kHeaderBytes + header.numbers[1]));
    if (!*in)
        throw std::runtime_error("cannot read tile state '" + statePath(workFolder, tile) + "'");
    return in;
}

std::vector<uint8_t> readTileLabels(const std::string& workFolder, const std::string& runKey,
                                    int64_t tile) {
    std::vector<uint8_t> labels;
    readTileLabels(workFolder, runKey, tile, labels);
    return labels;
}

void readTileLabels(const std::string& workFolder, const std::string& runKey, int64_t tile,
                    std::vector<uint8_t>& labels) {
    requireComplete(workFolder, runKey, tile);
    const std::string path = statePath(workFolder, tile);
    Header header;
    uint64_t size = 0;
    std::ifstream in(path, std::ios::binary);
    if (!readHeader(path, header, size))
        throw std::runtime_error("cannot read tile state '" + path + "'");
    labels.resize(header.numbers[1]);
    in.seekg(static_cast<std::streamoff>(kHeaderBytes));
    if (!in.read(reinterpret_cast<char*>(labels.data()), std::streamsize(labels.size()))) {
        throw std::runtime_error("cannot read tile state '" + path + "'");
    }
}

void writeJoin(const OutputFolder& work, const std::string& runKey, const TiledJoin& join) {
    OutputFile file(work, kJoinFileName, "join file");
    const std::string header =
        encode({kJoinMagic, runKey, {join.tables.size(), uint64_t(join.count), 0}});
    file.write(header.data(), header.size());
    for (const std::vector<uint8_t>& table : join.tables) {
        const std::string length = encode({"", "", {table.size(), 0, 0}}).substr(24, 8);
        file.write(length.data(), length.size());
    }
    for (const std::vector<uint8_t>& table : join.tables) {
        file.write(reinterpret_cast<const char*>(table.data()), table.size());
    }
    file.commit();
}

void writeSweep(const OutputFolder& work, const std::string& runKey,
                const std::vector<uint8_t>& sweep) {
    OutputFile file(work, kSweepFileName, "sweep file");
    const std::string header = encode({kSweepMagic, runKey, {sweep.size(), 0, 0}});
    file.write(header.data(), header.size());
    file.write(reinterpret_cast<const char*>(sweep.data()), sweep.size());
    file.commit();
}

std::vector<uint8_t> readSweep(const std::string& workFolder, const std::string& runKey) {
    const std::string path = workFolder + "/" + kSweepFileName;
    const auto refuse = [&path](const std::string& why) {
        throw std::runtime_error("sweep file '" + path + "' " + why);
    };
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) refuse("is missing: run segmora-tiles sweep first");
    Header header;
    uint64_t size = 0;
    if (!readHeader(path, header, size) || header.magic != kSweepMagic ||
        size != kHeaderBytes + header.numbers[0]) {
        refuse("is not a sweep file or is cut short: run the sweep step again");
    }
    if (header.key != runKey)
        refuse("belongs to another run, photo or knobs: run the sweep step again");
    std::vector<uint8_t> sweep(header.numbers[0]);
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(kHeaderBytes));
    if (!in.read(reinterpret_cast<char*>(sweep.data()), std::streamsize(sweep.size()))) {
        refuse("cannot be read: run the sweep step again");
    }
    return sweep;
}

JoinFile::JoinFile(const std::string& workFolder, const std::string& runKey, int64_t tiles)
    : path(workFolder + "/" + kJoinFileName) {
    Header header;
    uint64_t size = 0;
    const auto refuse = [this](const std::string& why) {
        throw std::runtime_error("join file '" + path + "' " + why);
    };
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) refuse("is missing: run the join step first");
    if (!readHeader(path, header, size) || header.magic != kJoinMagic) {
        refuse("is not a join file or is cut short: run the join step again");
    }
    if (header.key != runKey || header.numbers[0] != uint64_t(tiles)) {
        refuse("belongs to another run, photo or knobs: run the join step again");
    }
    superpixels = static_cast<int64_t>(header.numbers[1]);
    in = std::make_unique<std::ifstream>(path, std::ios::binary);
    in->seekg(static_cast<std::streamoff>(kHeaderBytes));
    std::vector<unsigned char> lengths(size_t(tiles) * 8);
    if (size < kHeaderBytes + lengths.size() ||
        !in->read(reinterpret_cast<char*>(lengths.data()), std::streamsize(lengths.size()))) {
        refuse("is cut short: run the join step again");
    }
    uint64_t offset = kHeaderBytes + lengths.size();
    for (int64_t t = 0; t < tiles; ++t) {
        offsets.push_back(offset);
        offset += decode64(lengths.data() + 8 * t);
    }
    offsets.push_back(offset);
    if (offset != size) refuse("is cut short or damaged: run the join step again");
}

std::vector<uint8_t> JoinFile::table(int64_t tile) {
    std::vector<uint8_t> bytes(offsets[size_t(tile) + 1] - offsets[size_t(tile)]);
    in->seekg(static_cast<std::streamoff>(offsets[size_t(tile)]));
    if (!in->read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) {
        throw std::runtime_error("cannot read join file '" + path + "'");
    }
    return bytes;
}

}  // namespace segmora
