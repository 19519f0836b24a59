#include "sweep_record.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "text_hash.h"

namespace segmora {

namespace {

// "SIZE SECONDS.NANOSECONDS" of the file at `path`; false when it cannot be examined.
bool describeFile(const std::string& path, std::string& text) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return false;
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%lld %lld.%09ld\n",
                  static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
                  info.st_mtim.tv_nsec);
    text += numbers;
    return true;
}

}  // namespace

std::string inputsKey(const std::string& photoPath, bool ignoreOrientation,
                      const std::string& truthDir, const std::vector<std::string>& truthFiles) {
    std::string text = "photo ";
    if (!describeFile(photoPath, text)) return "";
    text += ignoreOrientation ? "orientation ignored\n" : "";
    text += "truths in " + truthDir + "\n";
    for (const std::string& file : truthFiles) {
        text += file + "/";
        if (!describeFile(truthDir + "/" + file, text)) return "";
    }
    return hashText(text);
}

bool readRecords(int fd, size_t longest, const std::function<void(const std::string&)>& take) {
    std::vector<char> block(1 << 16);
    std::string record;
    bool quoted = false, tooLong = false;
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;  // a record without its line feed is left out
        for (ssize_t k = 0; k < n; ++k) {
            const char c = block[size_t(k)];
            if (c == '"') quoted = !quoted;
            if (c == '\n' && !quoted) {
                if (!tooLong) take(record);
                record.clear();
                tooLong = false;
            } else if (record.size() < longest) {
                record += c;
            } else {
                tooLong = true;
                record.clear();
            }
        }
    }
}

FinishedRows::FinishedRows(const std::map<std::string, std::string>& inputs,
                           const std::vector<Parameters>& settings, int tolerance, bool ignoreZero)
    : inputs(inputs),
      settings(settings),
      index(settings),
      tolerance(tolerance),
      ignoreZero(ignoreZero) {}

void FinishedRows::take(const std::string& record) {
    if (records++ == 0) {
        headerSeen = record + "\n" == sweepHeader();
        return;
    }
    if (!headerSeen) return;
    const std::optional<SweepRow> row = parseSweepLine(record);
    if (!row || row->tolerance != tolerance || row->ignoreZero != ignoreZero) return;
    const auto photo = inputs.find(row->photo);
    if (photo == inputs.end() || photo->second.empty() || photo->second != row->inputs) return;
    if (const std::optional<size_t> k = index.of(row->setting)) byPhoto[row->photo][*k] = *row;
}

std::vector<SweepRow> FinishedRows::kept() const {
    std::vector<SweepRow> rows;
    for (const auto& [photo, bySetting] : byPhoto) {
        if (bySetting.size() != settings.size()) continue;
        for (const auto& [index, row] : bySetting) rows.push_back(row);
    }
    return rows;
}

}  // namespace segmora
