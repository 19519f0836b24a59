#include "label_file.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "output_file.h"

namespace segmora {

namespace {

// OpenCV's comma-separated rendering: ", " between the numbers of a row,
// and after every row a line feed, unless the matrix has just one row.
void writeRows(OutputFile& file, const cv::Mat_<int>& labels) {
    std::vector<char> text(static_cast<size_t>(labels.cols) * 13 + 1);
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels[y];
        char* out = text.data();
        char* const end = text.data() + text.size();
        for (int x = 0; x < labels.cols; ++x) {
            if (x > 0) {
                *out++ = ',';
                *out++ = ' ';
            }
            out = std::to_chars(out, end, row[x]).ptr;
        }
        if (labels.rows > 1) *out++ = '\n';
        file.write(text.data(), static_cast<size_t>(out - text.data()));
    }
}

// Matrices without cells: let OpenCV render them, whatever it makes of them.
void writeDegenerate(OutputFile& file, const cv::Mat_<int>& labels) {
    cv::Ptr<cv::Formatted> text = cv::format(labels, cv::Formatter::FMT_CSV);
    text->reset();
    for (const char* piece = text->next(); piece != nullptr; piece = text->next()) {
        file.write(piece, std::strlen(piece));
    }
}

}  // namespace

void writeLabelMap(const std::string& outputPath, const cv::Mat_<int>& labels) {
    OutputFile file(outputPath, "label file");
    writeLabelMap(file, labels);
}

void writeLabelMap(OutputFile& file, const cv::Mat_<int>& labels) {
    if (labels.rows > 0 && labels.cols > 0) {
        writeRows(file, labels);
    } else {
        writeDegenerate(file, labels);
    }
    file.write("\n", 1);
    file.commit();
}

}  // namespace segmora
