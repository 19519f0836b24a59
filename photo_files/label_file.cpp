#include "label_file.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "binary_label_file.h"
#include "output_file.h"

namespace segmora {

namespace {

// Rows are formatted in blocks, the parts of a block on parallel threads,
// and written in order.
constexpr int kRowsPerBlock = 256;
constexpr size_t kMaxNumberLength = 11;  // "-2147483648"

// Appends rows [begin, end) to `text` in OpenCV's comma-separated
// rendering: ", " between the numbers of a row, and after every row a line
// feed, unless the matrix has just one row.
void formatRows(const cv::Mat_<int>& labels, int begin, int end, std::vector<char>& text) {
    text.resize(static_cast<size_t>(end - begin) * (labels.cols * (kMaxNumberLength + 2) + 1));
    char* out = text.data();
    char* const limit = text.data() + text.size();
    for (int y = begin; y < end; ++y) {
        const int* row = labels[y];
        for (int x = 0; x < labels.cols; ++x) {
            if (x > 0) {
                *out++ = ',';
                *out++ = ' ';
            }
            out = std::to_chars(out, limit, row[x]).ptr;
        }
        if (labels.rows > 1) *out++ = '\n';
    }
    text.resize(static_cast<size_t>(out - text.data()));
}

// Formats rows [first, last) into texts[0 .. parts - 1], part p taking the
// p-th of `parts` equal shares, each on a thread of its own (the caller's
// among them).
void formatInParts(const cv::Mat_<int>& labels, int first, int last,
                   std::vector<std::vector<char>>& texts) {
    const int parts = static_cast<int>(texts.size());
    std::vector<std::exception_ptr> failures(texts.size());
    auto formatPart = [&](int part) {
        try {
            formatRows(labels, first + (last - first) * part / parts,
                       first + (last - first) * (part + 1) / parts, texts[part]);
        } catch (...) {
            failures[part] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    for (int part = 1; part < parts; ++part) {
        try {
            threads.emplace_back(formatPart, part);
        } catch (const std::system_error&) {
            formatPart(part);  // no thread to be had: format it here
        }
    }
    formatPart(0);
    for (std::thread& thread : threads) thread.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
}

int threadsToUse(int threads) {
    if (threads >= 1) return std::min(threads, 64);
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

void writeRows(OutputFile& file, const cv::Mat_<int>& labels, int threads) {
    const int parts =
        std::min(threadsToUse(threads), std::max(1, labels.rows * labels.cols / (1 << 16)));
    std::vector<std::vector<char>> texts(static_cast<size_t>(parts));
    for (int first = 0; first < labels.rows; first += kRowsPerBlock) {
        const int last = std::min(labels.rows, first + kRowsPerBlock);
        formatInParts(labels, first, last, texts);
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

void writeLabelMap(const std::string& outputPath, const cv::Mat_<int>& labels, int threads) {
    OutputFile file(outputPath, "label file");
    writeLabelMap(file, labels, threads);
}

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
