// evaluation_reference PHOTO TOLERANCE IGNORE_ZERO TRUTH...: decodes PHOTO as the Segmora
// program does (cv::imread, colour), segments it with the photo parameters and prints the
// library's evaluate() against the TRUTH files (whitespace-separated ids, one line per row)
// as "name value" lines, values with 17 significant digits, for the hosts' tests.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "segmora/segmora.h"
#include "tool_inputs.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: evaluation_reference PHOTO TOLERANCE IGNORE_ZERO TRUTH...\n");
        return 2;
    }
    const char* tool = "evaluation_reference";
    const cv::Mat bgr = segmora::tools::decodedPhoto(tool, argv[1]);
    std::vector<cv::Mat_<int>> truths;
    for (int k = 4; k < argc; ++k)
        truths.push_back(segmora::tools::idText(tool, argv[k], bgr.size()));
    segmora::EvaluationOptions options;
    options.tolerance = std::atoi(argv[2]);
    options.ignoreZero = std::atoi(argv[3]) != 0;
    const segmora::Evaluation e =
        segmora::evaluate(segmora::segmentPhoto(bgr), truths, bgr, options);
    std::printf(
        "boundary_recall %.17g\nboundary_precision %.17g\nundersegmentation_error %.17g\n"
        "achievable_segmentation_accuracy %.17g\nexplained_variation %.17g\n"
        "compactness %.17g\ncount %d\ntruths %d\n",
        e.boundaryRecall, e.boundaryPrecision, e.undersegmentationError, e.achievableAccuracy,
        e.explainedVariation, e.compactness, e.count, e.truths);
}
