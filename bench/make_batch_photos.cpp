// Makes the photos of the batch benchmark:
//   make_batch_photos OUT_DIR COUNT WIDTH HEIGHT EXT SAMPLE...
// writes OUT_DIR/photo-0000.EXT ... each WIDTH x HEIGHT, cut from the samples in turn,
// scaled up by a fifth with bicubic interpolation, at a different place for each photo
// and mirrored for every second one, so that no two photos are alike.
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: make_batch_photos OUT_DIR COUNT WIDTH HEIGHT EXT SAMPLE...\n");
        return 2;
    }
    const std::string dir = argv[1], extension = argv[5];
    const int count = std::atoi(argv[2]), width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    if (count <= 0 || width <= 0 || height <= 0) return 2;
    std::vector<cv::Mat> sources;
    for (int i = 6; i < argc; ++i) {
        const cv::Mat sample = cv::imread(argv[i], cv::IMREAD_COLOR);
        if (sample.empty()) return 1;
        const double scale =
            1.2 * std::max(double(width) / sample.cols, double(height) / sample.rows);
        cv::Mat scaled;
        cv::resize(sample, scaled, cv::Size(), scale, scale, cv::INTER_CUBIC);
        sources.push_back(scaled);
    }
    for (int i = 0; i < count; ++i) {
        const cv::Mat& source = sources[i % sources.size()];
        const int x = (i * 37) % (source.cols - width + 1);
        const int y = (i * 23) % (source.rows - height + 1);
        cv::Mat photo = source(cv::Rect(x, y, width, height)).clone();
        if (i / sources.size() % 2 == 1) cv::flip(photo, photo, 1);
        char name[32];
        std::snprintf(name, sizeof name, "/photo-%04d.", i);
        if (!cv::imwrite(dir + name + extension, photo)) return 1;
    }
    return 0;
}
