// Segments a photo through the installed libsegmora and writes the labels in the format of
// the Segmora program's label file, for a byte-for-byte comparison with it.
//     segmora_consumer PHOTO LABELS
#include <segmora/segmora.h>

#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "segmora_consumer: usage: segmora_consumer PHOTO LABELS\n";
        return 2;
    }
    const cv::Mat photo = cv::imread(argv[1], cv::IMREAD_COLOR);
    if (photo.empty()) {
        std::cerr << "segmora_consumer: cannot read image '" << argv[1] << "'\n";
        return 1;
    }
    const segmora::Segmentation segmentation = segmora::segmentPhoto(photo);
    std::ofstream labels(argv[2]);
    labels << cv::format(segmentation.labels, cv::Formatter::FMT_CSV) << "\n";
    labels.close();
    if (!labels) {
        std::cerr << "segmora_consumer: cannot write label file '" << argv[2] << "'\n";
        return 1;
    }
    std::cout << "Super-pixel num: " << segmentation.count << "\n";
    return 0;
}
