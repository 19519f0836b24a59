// label_difference FIXED_PNG LABEL_FILE: compares the labels of a CSV label file, as Segmora
// writes it, with a fixed label map (a 16-bit grey PNG). Prints nothing and exits 0 when they
// are equal; otherwise prints one line saying where they differ, e.g.
//   chelsea.plain.csv: 17 of 135300 labels differ from chelsea.plain.png; the first at
//   row 12, column 40 (from 0): 301, not 300
// and exits 1 (2 when a file cannot be read).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

[[noreturn]] void unreadable(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "label_difference: cannot read '%s': %s\n", path.c_str(), why.c_str());
    std::exit(2);
}

// The rows of a label file: ", " between labels, one row per line, blank lines skipped.
std::vector<std::vector<long>> labelRows(const std::string& path) {
    std::ifstream in(path);
    if (!in) unreadable(path, "no such file");
    std::vector<std::vector<long>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<long> row;
        const char* at = line.c_str();
        while (*at != '\0') {
            char* end = nullptr;
            row.push_back(std::strtol(at, &end, 10));
            if (end == at) unreadable(path, "not a label: '" + std::string(at) + "'");
            at = end;
            while (*at == ',' || *at == ' ') ++at;
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: label_difference FIXED_PNG LABEL_FILE\n");
        return 2;
    }
    const std::string fixedPath = argv[1], labelPath = argv[2];
    const cv::Mat fixed = cv::imread(fixedPath, cv::IMREAD_UNCHANGED);
    if (fixed.empty() || fixed.type() != CV_16UC1) unreadable(fixedPath, "not a 16-bit grey PNG");
    const std::vector<std::vector<long>> rows = labelRows(labelPath);
    const std::string name = baseName(labelPath), fixedName = baseName(fixedPath);
    const size_t columns = rows.empty() ? 0 : rows[0].size();
    for (const std::vector<long>& row : rows) {
        if (row.size() != static_cast<size_t>(fixed.cols) ||
            rows.size() != static_cast<size_t>(fixed.rows)) {
            std::printf("%s: %zu x %zu labels, not the %d x %d of %s\n", name.c_str(), rows.size(),
                        columns, fixed.rows, fixed.cols, fixedName.c_str());
            return 1;
        }
    }
    long differing = 0;
    int firstRow = -1, firstColumn = -1;
    for (int y = 0; y < fixed.rows; ++y) {
        for (int x = 0; x < fixed.cols; ++x) {
            if (rows[y][x] == fixed.at<unsigned short>(y, x)) continue;
            if (differing++ == 0) firstRow = y, firstColumn = x;
        }
    }
    if (differing == 0) return 0;
    std::printf(
        "%s: %ld of %ld labels differ from %s; the first at row %d, column %d (from 0): "
        "%ld, not %d\n",
        name.c_str(), differing, static_cast<long>(fixed.total()), fixedName.c_str(), firstRow,
        firstColumn, rows[firstRow][firstColumn], fixed.at<unsigned short>(firstRow, firstColumn));
    return 1;
}
