#include "label_file.h"

#include <cstring>

#include "output_file.h"

namespace segmora {

void writeLabelMap(const std::string& outputPath, const cv::Mat_<int>& labels) {
    OutputFile file(outputPath, "label file");
    writeLabelMap(file, labels);
}

void writeLabelMap(OutputFile& file, const cv::Mat_<int>& labels) {
    cv::Ptr<cv::Formatted> text = cv::format(labels, cv::Formatter::FMT_CSV);
    text->reset();
    for (const char* piece = text->next(); piece != nullptr; piece = text->next()) {
        file.write(piece, std::strlen(piece));
    }
    file.write("\n", 1);
    file.commit();
}

}  // namespace segmora
