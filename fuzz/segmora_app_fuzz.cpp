// The whole program on arbitrary bytes given as the image file. A run must
// either succeed with a label file that is a valid label map of the decoded
// image's size and matches the printed count, or fail cleanly: status 1, one
// line on the error stream starting "Segmora: ", and no label file.
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "fuzz_data.h"
#include "label_invariants.h"
#include "segmora_app.h"

namespace {

using segmora::fuzz::check;

// Parses the label file's comma-separated rows; an empty map unless the text
// is exactly the CSV rendering of the labels plus one line feed.
cv::Mat_<int> parseLabelFile(const std::string& text, int rows, int cols) {
    cv::Mat_<int> labels(rows, cols);
    std::istringstream lines(text);
    std::string line;
    for (int y = 0; y < rows; ++y) {
        if (!std::getline(lines, line)) return {};
        std::istringstream fields(line);
        for (int x = 0; x < cols; ++x) {
            char comma = ',';
            if (!(fields >> labels(y, x)) || (x + 1 < cols && !(fields >> comma)) || comma != ',') {
                return {};
            }
            fields >> std::ws;
        }
        if (!fields.eof()) return {};
    }
    std::ostringstream rendering;
    rendering << cv::format(labels, cv::Formatter::FMT_CSV) << "\n";
    return rendering.str() == text ? labels : cv::Mat_<int>();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = segmora::fuzz::scratchDirectory();
    const std::string image = dir + "/image", output = dir + "/labels.csv";
    std::ofstream(image, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::remove(output.c_str());

    std::ostringstream out, err;
    const int status = segmora::runSegmora({"-i", image, "-o", output}, out, err);
    const std::string label = readAll(output);
    if (status != 0) {
        check(status == 1, "exit status " + std::to_string(status));
        check(err.str().rfind("Segmora: ", 0) == 0, "error message: " + err.str());
        check(err.str().find('\n') == err.str().size() - 1, "error is not one line");
        check(label == "<missing>", "a failed run left a label file");
        return 0;
    }
    check(err.str().empty(), "a successful run printed an error: " + err.str());
    const cv::Mat decoded = cv::imread(image, cv::IMREAD_COLOR);
    check(!decoded.empty(), "a run succeeded on an image that does not decode");
    const size_t countAt = out.str().find("Super-pixel num: ");
    check(countAt != std::string::npos, "no count line");
    const int count = std::atoi(out.str().c_str() + countAt + 17);
    const cv::Mat_<int> labels = parseLabelFile(label, decoded.rows, decoded.cols);
    check(!labels.empty(), "label file does not hold the image's rows and columns");
    const std::string violation = segmora::labelMapViolation(labels, count);
    check(violation.empty(), "label file: " + violation);
    return 0;
}
