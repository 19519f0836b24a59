#include "label_file.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "binary_label_file.h"
#include "output_file.h"
#include "parallel.h"

namespace segmora {

namespace {

// Rows are formatted in blocks, the parts of a block on parallel threads,
// and written in order.
constexpr int kRowsPerBlock = 256;
constexpr size_t kMaxNumberLength = 11;  // "-2147483648"

// The most bytes a row of `labels` takes.
size_t rowTextLimit(const cv::Mat_<int>& labels) {
    return static_cast<size_t>(labels.cols) * (kMaxNumberLength + 2) + 1;
}

// Row y in OpenCV's comma-separated rendering at `out` (room for rowTextLimit):
// ", " between the numbers, and a line feed after it unless the matrix has just
// one row. Returns the end of the text.
char* formatRow(const cv::Mat_<int>& labels, int y, char* out, char* limit) {
    const int* row = labels[y];
    for (int x = 0; x < labels.cols; ++x) {
        if (x > 0) {
            *out++ = ',';
            *out++ = ' ';
        }
        out = std::to_chars(out, limit, row[x]).ptr;
    }
    if (labels.rows > 1) *out++ = '\n';
    return out;
}

// Appends rows [begin, end) to `text`.
void formatRows(const cv::Mat_<int>& labels, int begin, int end, std::vector<char>& text) {
    text.resize(static_cast<size_t>(end - begin) * rowTextLimit(labels));
    char* out = text.data();
    char* const limit = text.data() + text.size();
    for (int y = begin; y < end; ++y) out = formatRow(labels, y, out, limit);
    text.resize(static_cast<size_t>(out - text.data()));
}

void writeRows(OutputFile& file, const cv::Mat_<int>& labels, int threads) {
    const int parts =
        std::min(threadCountFor(threads), std::max(1, labels.rows * labels.cols / (1 << 16)));
    if (parts == 1) {  // straight into the file's buffer
        const size_t limit = rowTextLimit(labels);
        for (int y = 0; y < labels.rows; ++y) {
            char* const start = file.room(limit);
            file.wrote(static_cast<size_t>(formatRow(labels, y, start, start + limit) - start));
        }
        return;
    }
    std::vector<std::vector<char>> texts(static_cast<size_t>(parts));
    for (int first = 0; first < labels.rows; first += kRowsPerBlock) {
        const int last = std::min(labels.rows, first + kRowsPerBlock);
        runInParts(parts, last - first, [&](int part, int64_t begin, int64_t end) {
            formatRows(labels, first + static_cast<int>(begin), first + static_cast<int>(end),
                       texts[part]);
        });
        for (const std::vector<char>& text : texts) file.write(text.data(), text.size());
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

void writeLabelMap(OutputFile& file, const cv::Mat_<int>& labels, int threads) {
    if (labels.rows > 0 && labels.cols > 0) {
        writeRows(file, labels, threads);
    } else {
        writeDegenerate(file, labels);
    }
    file.write("\n", 1);
    file.commit();
}

void writeLabelMap(OutputFile& file, const cv::Mat_<int>& labels, LabelFormat format, int threads) {
    if (format == LabelFormat::Csv) {
        writeLabelMap(file, labels, threads);
    } else {
        writeBinaryLabelMap(file, labels, format);
    }
}

}  // namespace segmora
