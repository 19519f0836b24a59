// Makes the photo sets of the benchmarks, the same pixels on every run:
//   make_photo_set [--decoded] SET OUT_DIR COUNT WIDTHxHEIGHT SAMPLE...
// writes OUT_DIR/photo-0000.EXT ... of WIDTH x HEIGHT, taking the samples in turn. SET is
//   real       crops at the samples' own scale, saved as JPEG of quality 92; a sample smaller
//              than the crop is first enlarged just enough, with area interpolation;
//   synthetic  crops of the samples enlarged by a fifth more than needed with bicubic
//              interpolation, as JPEG (default quality) below 1 MP, PNG above;
//   resized    each sample resized whole to WIDTH x HEIGHT, bicubic, as PNG.
// Crops sit at a different place for each photo and every second round is mirrored. With
// --decoded each photo's pixels, as the programs decode them, also go to NAME.png and NAME.ppm.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

namespace {

enum class Set { Real, Synthetic, Resized };

struct Request {
    Set set = Set::Real;
    bool decoded = false;
    std::string dir;
    int count = 0;
    cv::Size size;
    std::vector<std::string> samples;
};

bool parseSize(const char* text, cv::Size& size) {
    char* rest = nullptr;
    const long width = std::strtol(text, &rest, 10);
    if (*rest != 'x') return false;
    const long height = std::strtol(rest + 1, &rest, 10);
    if (*rest != '\0' || width <= 0 || height <= 0 || width > 100000 || height > 100000) {
        return false;
    }
    size = cv::Size(static_cast<int>(width), static_cast<int>(height));
    return true;
}

bool parse(int argc, char** argv, Request& request) {
    int next = 1;
    if (next < argc && std::string(argv[next]) == "--decoded") {
        request.decoded = true;
        ++next;
    }
    if (argc - next < 5) return false;
    const std::string set = argv[next];
    if (set == "real")
        request.set = Set::Real;
    else if (set == "synthetic")
        request.set = Set::Synthetic;
    else if (set == "resized")
        request.set = Set::Resized;
    else
        return false;
    request.dir = argv[next + 1];
    request.count = std::atoi(argv[next + 2]);
    request.samples.assign(argv + next + 4, argv + argc);
    return request.count > 0 && parseSize(argv[next + 3], request.size);
}

// The sample as the crops are cut from it.
cv::Mat source(const cv::Mat& sample, const Request& request) {
    const double needed = std::max(double(request.size.width) / sample.cols,
                                   double(request.size.height) / sample.rows);
    cv::Mat scaled;
    if (request.set == Set::Synthetic) {
        cv::resize(sample, scaled, cv::Size(), 1.2 * needed, 1.2 * needed, cv::INTER_CUBIC);
    } else if (request.set == Set::Resized) {
        cv::resize(sample, scaled, request.size, 0, 0, cv::INTER_CUBIC);
    } else if (needed > 1) {
        const cv::Size enlarged(
            std::max(request.size.width, int(std::ceil(sample.cols * needed))),
            std::max(request.size.height, int(std::ceil(sample.rows * needed))));
        cv::resize(sample, scaled, enlarged, 0, 0, cv::INTER_AREA);
    } else {
        scaled = sample;
    }
    return scaled;
}

// Photo `index`, cut from `source` in round index / number of samples.
cv::Mat cut(const cv::Mat& source, int index, int round, cv::Size size) {
    const int x = (index * 37) % (source.cols - size.width + 1);
    const int y = (index * 23) % (source.rows - size.height + 1);
    cv::Mat photo = source(cv::Rect(x, y, size.width, size.height)).clone();
    if (round % 2 == 1) cv::flip(photo, photo, 1);
    return photo;
}

bool write(const Request& request, int index, const cv::Mat& photo) {
    const bool jpeg =
        request.set == Set::Real || (request.set == Set::Synthetic && photo.total() < 1000000);
    char name[32];
    std::snprintf(name, sizeof name, "/photo-%04d", index);
    const std::string stem = request.dir + name;
    const std::string path = stem + (jpeg ? ".jpg" : ".png");
    std::vector<int> options;
    if (request.set == Set::Real) options = {cv::IMWRITE_JPEG_QUALITY, 92};
    if (!cv::imwrite(path, photo, options)) return false;
    if (!request.decoded) return true;
    const cv::Mat pixels = cv::imread(path, cv::IMREAD_COLOR);
    return !pixels.empty() && (!jpeg || cv::imwrite(stem + ".png", pixels)) &&
           cv::imwrite(stem + ".ppm", pixels);
}

}  // namespace

int main(int argc, char** argv) {
    Request request;
    if (!parse(argc, argv, request)) {
        std::fprintf(stderr,
                     "usage: make_photo_set [--decoded] real|synthetic|resized OUT_DIR COUNT "
                     "WIDTHxHEIGHT SAMPLE...\n");
        return 2;
    }
    std::vector<cv::Mat> sources;
    for (const std::string& path : request.samples) {
        const cv::Mat sample = cv::imread(path, cv::IMREAD_COLOR);
        if (sample.empty()) {
            std::fprintf(stderr, "make_photo_set: %s: cannot read the photo\n", path.c_str());
            return 1;
        }
        sources.push_back(source(sample, request));
    }
    const int samples = static_cast<int>(sources.size());
    for (int i = 0; i < request.count; ++i) {
        if (!write(request, i, cut(sources[i % samples], i, i / samples, request.size))) {
            std::fprintf(stderr, "make_photo_set: %s: cannot write photo %d\n", request.dir.c_str(),
                         i);
            return 1;
        }
    }
    return 0;
}
