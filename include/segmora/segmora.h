// Segmora: superpixels of a colour photo by constrained graph-based greedy merging.
//
// The whole public face of the engine. Every function here gives exactly the labels that
// the Segmora program writes for the same pixels.
//
//     cv::Mat photo = cv::imread("photo.png", cv::IMREAD_UNCHANGED);
//     segmora::Segmentation s = segmora::segmentPhoto(photo);
//     // s.labels(y, x) is in 1 .. s.count
//
// Errors: bad input throws std::invalid_argument naming what is wrong; memory exhaustion
// throws std::bad_alloc. Nothing is kept after a call returns beyond what a Segmenter
// holds, and no process-wide setting is read or changed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <istream>
#include <limits>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

// Marks what the library exports; everything else in it is hidden.
#if defined(__GNUC__)
#define SEGMORA_API __attribute__((visibility("default")))
#else
#define SEGMORA_API
#endif

namespace segmora {

// Images must have fewer pixels than this (2^29); larger ones are refused.
constexpr int64_t kMaxPixelCount = int64_t{1} << 29;

// The words every refusal of an image of kMaxPixelCount pixels or more carries, in the
// library, the programs and the bindings alike: "the limit is 2^29".
inline std::string pixelLimitText() {
    int power = 0;
    while ((int64_t{1} << power) < kMaxPixelCount) ++power;
    return "the limit is 2^" + std::to_string(power);
}

// The photo defaults, said here once: what a default-constructed Parameters holds and what
// Segmora, segmora-batch, Python and Octave use for a knob that is not given.
constexpr float kDefaultThreshold = 500.0f;
constexpr float kDefaultSigma = 0.0f;  // no smoothing
// The default minimum size: superpixels below this many pixels are absorbed by a
// neighbour, whatever the regions (unless the whole image is smaller).
constexpr int kMinSegmentSize = 5;
// The photo default of the cap divisor: 500, or 3000 with a region map.
constexpr int kPhotoCapDivisor = 500;
constexpr int kPhotoCapDivisorWithRegions = 3000;
constexpr int photoCapDivisor(bool withRegions) {
    return withRegions ? kPhotoCapDivisorWithRegions : kPhotoCapDivisor;
}

// The channels segmentPhoto works on are L * kLightnessScale, a and b of the photo's 8-bit
// Lab values (L stretched to 0..255, a and b offset by 128).
constexpr double kLightnessScale = 0.3;

// The labels of a segmentation: labels(y, x) in 1 .. count, numbered in raster order of
// each superpixel's first pixel, without gaps. With a mask, pixels outside it get 0.
struct Segmentation {
    cv::Mat_<int> labels;
    int count = 0;
};

// The knobs of a segmentation. Every value outside its range is refused with
// std::invalid_argument naming the knob. A default-constructed Parameters holds the photo
// defaults: with it every call gives the program's labels, with a region map or without.
struct Parameters {
    // Merge threshold constant, finite and >= 0: larger gives larger superpixels.
    float threshold = kDefaultThreshold;
    // Gaussian smoothing of the channels before the edges, 0 .. kMaxSigma; 0: none.
    float sigma = kDefaultSigma;
    // A superpixel holds at most pixels / capDivisor + 20 pixels; >= 1, or 0 (the default)
    // for the photo default, photoCapDivisor(): 500, or 3000 with a non-empty region map.
    int capDivisor = 0;
    // Threads inside one call, 0 .. 64; 0: one per core, at most 8. Results never depend on it.
    int threads = 0;
    // Superpixels below this many pixels are absorbed by a neighbour, >= 0 (0 and 1: none).
    int minSize = kMinSegmentSize;
    // Exactly this many superpixels, >= 0; 0: as many as the knobs above give. The knobs
    // shape the one run that the count is cut from (see Hierarchy); a count outside the
    // run's range is refused.
    int count = 0;
};

// The largest sigma accepted (the smoothing mask has 4 * sigma + 1 taps per side).
constexpr float kMaxSigma = 100.0f;

// The parameters the program uses for a photo: Parameters{} with the cap divisor spelt out,
// photoCapDivisor(withRegions). Both give the same labels.
SEGMORA_API Parameters photoParameters(bool withRegions);

struct MergeHierarchy;

// The superpixels of every count from one run (docs/knobs.md gives the definition): the
// default count is the run's own superpixels, finer counts take back its merges (those with
// two large halves first), coarser ones merge touching superpixels by the mean weight along
// their border and their sizes, with no size cap and never across regions. Cuts are nested: every superpixel of count N lies inside one of count
// N - 1. Copies share the tree, which is never changed.
class SEGMORA_API Hierarchy {
  public:
    // One merge of the tree: the superpixels holding finest superpixels a and b (0-based,
    // labels a + 1 and b + 1 of cut(finestCount())) join; `height` is the weight of the
    // edge they join across.
    struct Merge {
        int a;
        int b;
        float height;
    };

    Hierarchy();

    int finestCount() const;
    int defaultCount() const;    // what the run's knobs give
    int coarsestCount() const;   // 1, or with regions: no two touching superpixels share one

    // Exactly `count` superpixels, labelled 1 .. count in raster order of first pixels, in
    // time linear in the pixels. Refuses a count outside coarsestCount() ..
    // finestCount() with std::invalid_argument naming that range.
    Segmentation cut(int count) const;

    // The tree's merges in order, finestCount() - coarsestCount() of them: the first
    // finestCount() - N give the superpixels of count N.
    std::vector<Merge> merges() const;

  private:
    friend Hierarchy makeHierarchy(MergeHierarchy&&);
    std::shared_ptr<const MergeHierarchy> tree;
};

struct TiledImage;  // the tiled run, below
struct TileState;

// A worker that keeps its warm buffers from one call to the next: segmenting many photos
// through one Segmenter avoids mapping and faulting fresh memory for each. Keep one per
// thread; a Segmenter must not be used by two threads at once, but different Segmenters
// may work side by side. The buffers are given back by release() or the destructor.
class SEGMORA_API Segmenter {
  public:
    // `threads`: threads inside one call (0: one per core, at most 8; results never depend
    // on it).
    explicit Segmenter(int threads = 0);
    ~Segmenter();
    Segmenter(Segmenter&&) noexcept;
    Segmenter& operator=(Segmenter&&) noexcept;
    Segmenter(const Segmenter&) = delete;
    Segmenter& operator=(const Segmenter&) = delete;

    // `photo`: as cv::imread gives it, cv::IMREAD_UNCHANGED included: 1 to 4 channels
    // (grey, grey and alpha, blue-green-red, blue-green-red and alpha) of 8-bit, 16-bit or
    // floating-point pixels (CV_8UC1 .. CV_8UC4, CV_16UC1 .. CV_16UC4, CV_32FC1 .. CV_32FC4,
    // CV_64FC1 .. CV_64FC4). 16-bit values keep their high byte and floating-point values,
    // which must lie in 0..1, are multiplied by 255 and rounded; grey is copied to the three
    // colours and alpha dropped: the program's rules for such files, so the labels are the
    // program's for the same file. Other kinds, a value outside 0..1 and an empty photo are
    // refused. `regions`: one region id per pixel (the photo's size);
    // two superpixels merge only when their ids are equal. Without `parameters`, those of
    // Parameters{}; with them, capDivisor 0 picks the photo default, and
    // `parameters.threads` (when not 0) overrides the Segmenter's.
    Segmentation segmentPhoto(const cv::Mat& photo);
    Segmentation segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions);
    Segmentation segmentPhoto(const cv::Mat& photo, const Parameters& parameters);
    Segmentation segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                              const Parameters& parameters);

    // As segmentPhoto(bgr, regions, parameters) (an empty `regions`: none), with the labels
    // written into `labels` when it is a continuous matrix of the photo's size, e.g. a
    // header on the caller's own array: they then take no fresh memory. Otherwise `labels`
    // becomes a new matrix. The labels are written last, once the photo and the regions
    // have been read. Returns the superpixel count.
    int segmentPhotoInto(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                         const Parameters& parameters, cv::Mat_<int>& labels);

    // Superpixels only inside a mask: `mask` is one byte per pixel (CV_8UC1, the photo's
    // size), non-zero inside; an empty mask means every pixel. The graph loses every edge
    // with an end outside, and the rest is the plain run on what is left: the size cap
    // still counts all pixels, regions still apply, the clean-up never merges into the
    // outside (an inside pixel without inside neighbours stays a superpixel of its own).
    // Outside pixels get label 0, the superpixels inside 1 .. count in raster order of
    // their first pixel; a mask with every pixel inside gives the plain labels, one with
    // none count 0 and all labels 0. Only the inside edges are weighed, sorted and merged.
    // Smoothing (sigma > 0) reads the photo's channels all around, as it does without a
    // mask. A mask of another size or kind is refused.
    Segmentation segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                              const Parameters& parameters, const cv::Mat& mask);
    int segmentPhotoInto(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                         const Parameters& parameters, const cv::Mat& mask, cv::Mat_<int>& labels);
    Segmentation segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                         const cv::Mat_<int>& regions, const cv::Mat& mask);

    // The general engine on three channels per pixel (e.g. L * kLightnessScale, a, b as
    // doubles). An empty `regions` means one region everywhere; capDivisor 0 picks the
    // photo default as segmentPhoto does. Runs on `parameters.threads` threads when that is
    // not 0, else on the Segmenter's.
    Segmentation segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                         const cv::Mat_<int>& regions = cv::Mat_<int>());

    // The hierarchy of every count from the run segmentPhoto (or segment) makes with the
    // same arguments (parameters.count is not read); see Hierarchy. With a mask, pixels
    // outside it are 0 in every cut, and no superpixel crosses its edge at any count.
    Hierarchy hierarchyOfPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                               const Parameters& parameters, const cv::Mat& mask = cv::Mat());
    Hierarchy hierarchyOf(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                          const cv::Mat_<int>& regions = cv::Mat_<int>(),
                          const cv::Mat& mask = cv::Mat());

    // segmentTile (see below) with the warm buffers: a worker that segments tile after tile
    // finds its big arrays, Lab and weight tables from the tile before. Runs on the image's
    // `parameters.threads` when that is not 0, else on the Segmenter's. The same bytes as
    // segmentTile.
    TileState segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions = cv::Mat_<int>());
    TileState segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions, const std::vector<uint8_t>& sweep);
    // The same into `state` (`sweep`: null without a flat sweep), whose vectors' memory is
    // reused: a worker that keeps one state from tile to tile touches no fresh memory for it.
    void segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                     const cv::Mat_<int>& regions, const std::vector<uint8_t>* sweep,
                     TileState& state);

    // Gives back the warm buffers now; the Segmenter stays usable.
    void release();

    // The thread count given to the constructor (0: one per core, at most 8).
    int threads() const { return threadCount; }

  private:
    struct Buffers;
    std::unique_ptr<Buffers> buffers;
    int threadCount;
};

// The hierarchy of the run segmentPhoto (or segment) makes with the same arguments
// (parameters.count is not read). One pass; its default cut is segmentPhoto's labels.
SEGMORA_API Hierarchy hierarchyOfPhoto(const cv::Mat& photo,
                                       const cv::Mat_<int>& regions = cv::Mat_<int>(),
                                       const Parameters& parameters = Parameters(),
                                       const cv::Mat& mask = cv::Mat());
SEGMORA_API Hierarchy hierarchyOf(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                  const cv::Mat_<int>& regions = cv::Mat_<int>(),
                                  const cv::Mat& mask = cv::Mat());

// One-shot calls: a Segmenter for the call alone.
SEGMORA_API Segmentation segmentPhoto(const cv::Mat& photo);
SEGMORA_API Segmentation segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions);
SEGMORA_API Segmentation segmentPhoto(const cv::Mat& photo, const Parameters& parameters);
SEGMORA_API Segmentation segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                                      const Parameters& parameters);
SEGMORA_API Segmentation segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                 const cv::Mat_<int>& regions = cv::Mat_<int>());
// The same inside a mask (see Segmenter::segmentPhoto with a mask).
SEGMORA_API Segmentation segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                                      const Parameters& parameters, const cv::Mat& mask);
SEGMORA_API Segmentation segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                 const cv::Mat_<int>& regions, const cv::Mat& mask);

// ---------------------------------------------------------------------------------------
// The superpixel graph: what each superpixel holds and which superpixels touch.
//
//     segmora::SuperpixelGraph g = segmora::describe(s, photo);
//     // superpixel k (label k + 1): g.size[k] pixels around (g.centroidRow[k],
//     // g.centroidColumn[k]); edge e joins labels g.edgeA[e] < g.edgeB[e] along
//     // g.border[e] neighbouring pixel pairs.
//
// Every field is a plain vector (one per quantity), indexed by k = label - 1 or by edge.

// Label 0 is background, the usual convention of label images: its pixels get
// no node and no edges and count in no sum or mean (a 0-based segmentation is passed as
// labels + 1).
struct SuperpixelGraph {
    int count = 0;  // superpixels: labels 1 .. count

    // Per superpixel, `count` entries each. A label no pixel carries has size 0, NaN
    // centroid and colours, and the empty box min 0, max -1.
    std::vector<int64_t> size;
    std::vector<double> centroidRow, centroidColumn;        // mean row and column, from 0
    std::vector<int> minRow, minColumn, maxRow, maxColumn;  // bounding box, inclusive
    // Mean colour of its pixels: blue, green, red, and the photo's 8-bit Lab (L in
    // 0..255, a and b offset by 128, as the engine sees them before scaling L). Empty
    // vectors when no photo was given.
    std::array<std::vector<double>, 3> meanBgr, meanLab;

    // Every pair of labels a < b with pixels that are 8-neighbours, sorted by (a, b); the
    // border counts the neighbouring pixel pairs (p, q), p in a and q in b.
    std::vector<int> edgeA, edgeB;
    std::vector<int64_t> border;
};

// Label maps may use numbers up to this even with fewer pixels (gaps are allowed).
constexpr int kMaxGraphCount = 1 << 20;

// The graph of `s` (labels 0 .. s.count, 0 the background) on its photo (of the labels'
// size, any kind segmentPhoto takes: the means are those of the 8-bit blue-green-red pixels
// it is segmented on) or without colours. Refuses with std::invalid_argument: labels and
// photo of different sizes, a photo segmentPhoto refuses (one without pixels is taken only
// as a CV_8UC3 matrix for labels without pixels, so cv::Mat() is refused), a label outside
// 0 .. s.count, and a count above max(pixels, kMaxGraphCount).
SEGMORA_API SuperpixelGraph describe(const Segmentation& s, const cv::Mat& photo);
SEGMORA_API SuperpixelGraph describe(const Segmentation& s);

// ---------------------------------------------------------------------------------------
// Superpixel quality against ground truth (docs/evaluation.md gives every definition).
//
//     segmora::Evaluation e = segmora::evaluate(s, {truth1, truth2}, photo);
//     // e.boundaryRecall, e.undersegmentationError, ...: means over the two truths
//
// Labels of the segmentation and of the truths may be any int values (s.count is not
// read): pixels belong to the same segment when their labels are equal. Label 0 of the
// segmentation is background (outside a mask), as in the graph: its pixels are left out of
// every measure and its edge is no boundary; a segmentation without 0 is scored in full.

struct EvaluationOptions {
    // Boundary pixels at most this far apart (the larger of the row and column distances)
    // match; >= 0.
    int tolerance = 2;
    // Label 0 in a truth marks unlabelled pixels: they leave the truth's side of every
    // measure (boundary recall and precision, undersegmentation error, achievable
    // accuracy); explained variation and compactness never read a truth.
    bool ignoreZero = false;
};

struct Evaluation {
    int count = 0;   // distinct labels of the segmentation
    int truths = 0;  // truths the measures are averaged over
    // Means over the truths; NaN without truths (undersegmentation error and achievable
    // accuracy also for a truth with no labelled pixel).
    double boundaryRecall = std::numeric_limits<double>::quiet_NaN();
    double boundaryPrecision = std::numeric_limits<double>::quiet_NaN();
    double undersegmentationError = std::numeric_limits<double>::quiet_NaN();
    double achievableAccuracy = std::numeric_limits<double>::quiet_NaN();
    // Of the photo's red, green and blue values; NaN without a photo or on one colour.
    double explainedVariation = std::numeric_limits<double>::quiet_NaN();
    double compactness = 0;
};

// The measures of `s` against `truths` (each the labels' size), with the explained
// variation of the photo `bgr` (CV_8UC3 of the labels' size) or without it. Refuses with
// std::invalid_argument: empty labels, a truth or photo of another size, another photo
// type, a negative tolerance.
SEGMORA_API Evaluation evaluate(const Segmentation& s, const std::vector<cv::Mat_<int>>& truths,
                                const cv::Mat& bgr, const EvaluationOptions& options = {});
SEGMORA_API Evaluation evaluate(const Segmentation& s, const std::vector<cv::Mat_<int>>& truths,
                                const EvaluationOptions& options = {});

// ---- Images in tiles: beyond memory, on a cluster (docs/huge-images.md) ----
//
// An image of any size is segmented tile by tile in three phases, with exactly the labels
// that one piece would get (when it fits): segmentTile on every tile (any order, any
// machine), joinTiles once over what they left, labelTile on every tile again. Each phase's
// result is plain bytes, so that it can be kept in files or passed between processes.
// Photos only (8-bit blue-green-red pixels), with the photo knobs; count must be 0.

// What every tile of one run shares. Tiles are tileWidth x tileHeight pixels (the last
// ones in a row or column smaller), numbered row by row.
struct TiledImage {
    int64_t width = 0;
    int64_t height = 0;
    int64_t tileWidth = 0;
    int64_t tileHeight = 0;
    Parameters parameters{};  // capDivisor 0: photoCapDivisor(withRegions)
    bool withRegions = false;
};

// A rectangle of pixels of the image.
struct TileRect {
    int64_t x = 0, y = 0, width = 0, height = 0;
};

// Checks the image's shape, tiles and knobs (std::invalid_argument naming what is wrong).
SEGMORA_API void checkTiledImage(const TiledImage& image);
SEGMORA_API int64_t tileCount(const TiledImage& image);
// The tile's own pixels.
SEGMORA_API TileRect tileRect(const TiledImage& image, int64_t tile);
// The pixels segmentTile reads for the tile: its own and a margin around them, clipped to
// the image.
SEGMORA_API TileRect tileReadRect(const TiledImage& image, int64_t tile);

// What segmentTile leaves: `join` is read by joinTiles, `labels` by labelTile.
struct TileState {
    std::vector<uint8_t> join;
    std::vector<uint8_t> labels;
};

// Phase 1: one tile. `photo` (CV_8UC3) and `regions` (empty, or CV_32S) hold the pixels of
// tileReadRect(image, tile).
SEGMORA_API TileState segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                                  const cv::Mat_<int>& regions = cv::Mat_<int>());

// Before phase 1, for photos with flat areas (optional): a sweep over the image's rows, top
// to bottom, that finds the edges between equal pixels which the size cap keeps apart. Given
// its bytes, segmentTile settles a flat area across seams itself, and the area costs the
// join a segment per tile instead of a record per pixel. The labels are the same with and
// without it; the sweep does not depend on the tiles' shape. Memory: a few rows of pixels
// and the segments that touch the last of them.
class SEGMORA_API FlatSweep {
  public:
    // A sweep from the first row (`image`'s tile shape is not used).
    explicit FlatSweep(const TiledImage& image);
    // A sweep carried on from stateBytes(), in this process or another.
    FlatSweep(const TiledImage& image, const std::vector<uint8_t>& state);
    ~FlatSweep();
    FlatSweep(FlatSweep&&) noexcept;
    FlatSweep& operator=(FlatSweep&&) noexcept;

    // The next rows, any number at a time, top to bottom: `photo` CV_8UC3 of the image's
    // width, `regions` CV_32S of the same shape when the image has regions (else empty).
    void addRows(const cv::Mat& photo, const cv::Mat_<int>& regions = cv::Mat_<int>());
    int64_t rowsAdded() const;
    // All the sweep holds so far, as bytes (sealed like the tiles' bytes).
    std::vector<uint8_t> stateBytes() const;
    // Once every row is added: the bytes segmentTile takes (a list of the edges kept apart).
    std::vector<uint8_t> finish() const;
    // Before that, so that tiles can start while the sweep goes on: the rows swept so far
    // (a few fewer than added), and bytes that segmentTile takes for a tile when
    // sweptRows() >= sweptRowsNeeded(image, tile), refuses for any other. A tile gives the
    // same state with them as with finish().
    int64_t sweptRows() const;
    std::vector<uint8_t> bytesSoFar() const;

  private:
    struct State;
    std::unique_ptr<State> state;
};

// The rows a sweep must cover for the tile: its own rows and the row below them.
SEGMORA_API int64_t sweptRowsNeeded(const TiledImage& image, int64_t tile);

// Phase 1 after a sweep: `sweep` is FlatSweep::finish() (or bytesSoFar()) of the same image
// and knobs. Every
// tile of a run takes the sweep or none does.
SEGMORA_API TileState segmentTile(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                                  const cv::Mat_<int>& regions, const std::vector<uint8_t>& sweep);

// What joinTiles leaves: the superpixel count and, per tile, what labelTile needs.
struct TiledJoin {
    int64_t count = 0;
    std::vector<std::vector<uint8_t>> tables;  // one per tile
};

// Phase 2, once for the image: `openJoin(tile)` gives a stream of that tile's
// TileState::join. The streams are read front to back, all open at once; memory grows with
// the superpixels and the tiles, not with the pixels.
SEGMORA_API TiledJoin joinTiles(
    const TiledImage& image,
    const std::function<std::unique_ptr<std::istream>(int64_t tile)>& openJoin);

// Phase 3: the labels of the tile's own pixels, row by row, in 1 .. count. 32-bit when
// count < 2^31 (`labels32`), else 64-bit (`labels64`): the other one stays empty.
struct TileLabels {
    std::vector<int32_t> labels32;
    std::vector<int64_t> labels64;
};
SEGMORA_API TileLabels labelTile(const TiledImage& image, int64_t tile,
                                 const std::vector<uint8_t>& labels,
                                 const std::vector<uint8_t>& table, int64_t count);
// The same into `into`, whose vectors keep their memory: a caller labelling tile after tile
// through one TileLabels does not take fresh memory for each. On an error `into` is unset.
SEGMORA_API void labelTile(const TiledImage& image, int64_t tile,
                           const std::vector<uint8_t>& labels, const std::vector<uint8_t>& table,
                           int64_t count, TileLabels& into);

}  // namespace segmora
