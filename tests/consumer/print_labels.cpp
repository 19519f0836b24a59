// Prints the superpixel labels of a photo as Segmora's label file holds them:
// OpenCV's comma-separated rendering of the matrix and a line feed.
//   print_labels PHOTO
#include <segmora/segmora.h>

#include <exception>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "print_labels: usage: print_labels PHOTO" << std::endl;
        return 2;
    }
    try {
        const cv::Mat photo = cv::imread(argv[1], cv::IMREAD_COLOR);
        if (photo.empty()) {
            std::cerr << "print_labels: cannot read '" << argv[1] << "'" << std::endl;
            return 1;
        }
        const segmora::Segmentation result = segmora::segmentPhoto(photo);
        std::cout << cv::format(result.labels, cv::Formatter::FMT_CSV) << "\n";
        std::cerr << "superpixels: " << result.count << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "print_labels: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
