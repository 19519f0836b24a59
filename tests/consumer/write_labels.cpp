// Segments a photo through the installed libsegmora and writes its labels as the Segmora
// program's label file holds them (OpenCV's comma-separated rendering and a line feed),
// so that they can be checked against the fixed answers. The region file, when given, is
// read as Segmora reads it: whitespace-separated integers, row after row.
//     write_labels PHOTO LABELS [REGIONS]
#include <segmora/segmora.h>

#include <exception>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

namespace {

cv::Mat_<int> readRegions(const char* path, cv::Size size) {
    std::ifstream file(path);
    cv::Mat_<int> regions(size);
    for (int& id : regions) {
        if (!(file >> id)) throw std::runtime_error(std::string("cannot read regions ") + path);
    }
    return regions;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "write_labels: usage: write_labels PHOTO LABELS [REGIONS]\n";
        return 2;
    }
    try {
        const cv::Mat photo = cv::imread(argv[1], cv::IMREAD_COLOR);
        if (photo.empty()) throw std::runtime_error(std::string("cannot read image ") + argv[1]);
        const segmora::Segmentation result =
            argc == 4 ? segmora::segmentPhoto(photo, readRegions(argv[3], photo.size()))
                      : segmora::segmentPhoto(photo);
        std::ofstream labels(argv[2]);
        labels << cv::format(result.labels, cv::Formatter::FMT_CSV) << "\n";
        labels.close();
        if (!labels) throw std::runtime_error(std::string("cannot write ") + argv[2]);
        std::cout << result.count << "\n";
    } catch (const std::exception& e) {
        std::cerr << "write_labels: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
