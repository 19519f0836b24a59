// Times segmora::evaluate beside the segmentation it scores, on one core: for each photo,
// its centre crop of 481 x 321 is segmented (default knobs), and the labels are evaluated
// against 5 truths (coarse segmentations of the crop, 10 to 200 regions, standing in for
// human ones), with the photo and tolerance 2. The best processor time of REPEATS calls is
// shown.
//   evaluation_bench [--repeats N] PHOTO...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "segmora/segmora.h"

namespace {

// The thread's processor time: on a shared machine, wall time counts other people's work.
double threadMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

template <class Call>
double bestMilliseconds(int repeats, Call call) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const double start = threadMilliseconds();
        call();
        best = std::min(best, threadMilliseconds() - start);
    }
    return best;
}

cv::Mat centreCrop(const cv::Mat& photo) {
    const cv::Size size(std::min(481, photo.cols), std::min(321, photo.rows));
    return photo(cv::Rect((photo.cols - size.width) / 2, (photo.rows - size.height) / 2, size.width,
                          size.height))
        .clone();
}

std::vector<cv::Mat_<int>> truthsOf(const cv::Mat& crop) {
    std::vector<cv::Mat_<int>> truths;
    for (const int regions : {10, 25, 50, 100, 200}) {
        segmora::Parameters p = segmora::photoParameters(false);
        p.threads = 1;
        p.threshold = 20000;
        p.capDivisor = regions;
        p.minSize = int(crop.total() / (4 * regions));
        truths.push_back(segmora::segmentPhoto(crop, p).labels);
    }
    return truths;
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 10, first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--repeats") == 0) {
        repeats = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: evaluation_bench [--repeats N] PHOTO...\n");
        return 2;
    }
    std::printf("%-24s %9s %7s %12s %12s %6s\n", "photo", "size", "count", "segment ms",
                "evaluate ms", "ratio");
    for (int k = first; k < argc; ++k) {
        const cv::Mat photo = cv::imread(argv[k], cv::IMREAD_COLOR);
        if (photo.empty()) {
            std::fprintf(stderr, "evaluation_bench: cannot read '%s'\n", argv[k]);
            return 1;
        }
        const cv::Mat crop = centreCrop(photo);
        const std::vector<cv::Mat_<int>> truths = truthsOf(crop);
        segmora::Segmenter segmenter(1);
        segmora::Segmentation s;
        const double segmenting =
            bestMilliseconds(repeats, [&] { s = segmenter.segmentPhoto(crop); });
        segmora::Evaluation e;
        const double evaluating =
            bestMilliseconds(repeats, [&] { e = segmora::evaluate(s, truths, crop); });
        const std::string name =
            std::strrchr(argv[k], '/') ? std::strrchr(argv[k], '/') + 1 : argv[k];
        std::printf("%-24s %4dx%-4d %7d %12.2f %12.2f %6.2f\n", name.c_str(), crop.cols, crop.rows,
                    e.count, segmenting, evaluating, evaluating / segmenting);
    }
}
