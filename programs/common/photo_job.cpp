#include "photo_job.h"

#include <optional>
#include <stdexcept>
#include <system_error>

#include "binary_label_file.h"
#include "boundary_picture.h"
#include "colour_image.h"
#include "graph_files.h"
#include "label_file.h"
#include "output_file.h"
#include "output_target.h"
#include "mask_file.h"
#include "region_map.h"

namespace segmora {

namespace {

struct KnownFile {
    std::string description, path;
    FileIdentity identity;
};

// Refuses outputs that would replace an input (an existing file) or each other.
void checkDistinctFiles(const PhotoJob& job) {
    std::vector<KnownFile> earlier;
    const auto addInput = [&](const std::string& description, const std::string& path) {
        const FileIdentity identity = identifyFile(path);
        if (identity.known && identity.name.empty())
            earlier.push_back({description, path, identity});
    };
    const auto addOutput = [&](const std::string& description, const std::string& path,
                               const OutputFolder* folder) {
        const FileIdentity identity =
            folder ? identifyEntry(path) : identifyFile(resolveOutputPath(path, description));
        for (const KnownFile& other : earlier) {
            if (other.identity == identity) {
                throw std::runtime_error(description + " '" + path + "' would replace the " +
                                         other.description + " '" + other.path +
                                         "'; choose another name");
            }
        }
        earlier.push_back({description, path, identity});
    };
    addInput("image", job.imagePath);
    if (!job.regionFilePath.empty()) addInput("region file", job.regionFilePath);
    if (!job.maskPath.empty()) addInput("mask file", job.maskPath);
    if (!job.outputPath.empty()) addOutput("label file", job.outputPath, job.labelFolder);
    if (!job.picturePath.empty()) addOutput("boundary picture", job.picturePath, job.pictureFolder);
    if (!job.meanPicturePath.empty()) {
        addOutput("mean-colour picture", job.meanPicturePath, job.meanPictureFolder);
    }
    if (!job.graphPrefix.empty()) {
        addOutput("graph nodes file", graphNodesPath(job.graphPrefix), job.labelFolder);
        addOutput("graph edges file", graphEdgesPath(job.graphPrefix), job.labelFolder);
    }
}

void openOutput(std::optional<OutputFile>& file, const std::string& path,
                const OutputFolder* folder, const std::string& description,
                std::vector<WrittenFile>* handOff) {
    if (folder) {
        file.emplace(*folder, path.substr(path.find_last_of('/') + 1), description, handOff);
    } else {
        file.emplace(path, description);
    }
}

// The photo; memory that runs out while it is decoded is reported as such.
cv::Mat_<cv::Vec3b> decodePhoto(const PhotoJob& job) {
    try {
        return readColourImage(job.imagePath, job.orientation, job.sampleBits);
    } catch (const std::bad_alloc&) {
        throw OutOfMemory(job.imagePath, "decoding");
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem) throw OutOfMemory(job.imagePath, "decoding");
        throw;
    }
}

// The hierarchy of a job with several counts, made by its first cut.
using CountTree = std::optional<Hierarchy>;

Segmentation segmentJob(const PhotoJob& job, Segmenter& segmenter, const cv::Mat& photo,
                        const cv::Mat_<int>& regions, const cv::Mat& mask, CountTree* tree) {
    if (tree == nullptr) return segmenter.segmentPhoto(photo, regions, job.parameters, mask);
    if (!*tree) tree->emplace(segmenter.hierarchyOfPhoto(photo, regions, job.parameters, mask));
    return (*tree)->cut(job.parameters.count);
}

// The mask of the job's photo (none: empty); a picture mask that keeps fewer than one pixel
// in a thousand is told of, with its rule: a 0/1 mask saved as a picture keeps none.
cv::Mat_<uint8_t> readJobMask(const PhotoJob& job, int rows, int columns) {
    if (job.maskPath.empty()) return cv::Mat_<uint8_t>();
    const MaskFile mask = readMaskFile(job.maskPath, rows, columns);
    const int64_t inside = cv::countNonZero(mask.inside), pixels = int64_t{rows} * columns;
    if (job.warn && mask.pictureRule && inside * 1000 < pixels) {
        job.warn("mask '" + job.maskPath + "' keeps " + std::to_string(inside) + " of " +
                 std::to_string(pixels) + " pixels: " + kPictureMaskRule +
                 " (save a 0/1 mask as .npy, text or 16-bit PNG, or paint it white)");
    }
    return mask.inside;
}

int segmentAndWrite(const PhotoJob& job, Segmenter& segmenter, std::ostream* console,
                    std::vector<WrittenFile>* handOff, CountTree* tree = nullptr) {
    if (job.imagePath.empty()) throw std::runtime_error("no input image: give one with -i");
    if (job.labelFormat && !job.outputPath.empty())
        checkLabelFormatOfName(job.outputPath, *job.labelFormat);
    checkDistinctFiles(job);
    std::optional<OutputFile> labelFile, pictureFile, meanPictureFile, nodesFile, edgesFile;
    if (!job.outputPath.empty())
        openOutput(labelFile, job.outputPath, job.labelFolder, "label file", handOff);
    if (!job.picturePath.empty()) {
        checkPictureFormat(job.picturePath);
        openOutput(pictureFile, job.picturePath, job.pictureFolder, "boundary picture", handOff);
    }
    if (!job.meanPicturePath.empty()) {
        checkPictureFormat(job.meanPicturePath, "mean-colour picture");
        openOutput(meanPictureFile, job.meanPicturePath, job.meanPictureFolder,
                   "mean-colour picture", handOff);
    }
    if (!job.graphPrefix.empty()) {
        openOutput(nodesFile, graphNodesPath(job.graphPrefix), job.labelFolder, "graph nodes file",
                   handOff);
        openOutput(edgesFile, graphEdgesPath(job.graphPrefix), job.labelFolder, "graph edges file",
                   handOff);
    }
    cv::Mat_<cv::Vec3b> photo = decodePhoto(job);
    cv::Mat_<int> regions;
    if (!job.regionFilePath.empty()) {
        regions.create(photo.rows, photo.cols);
        regions.setTo(cv::Scalar(1));
        const std::optional<TextLayout> layout = readRegionMap(job.regionFilePath, regions);
        if (job.regionWarnings && layout && looksTransposed(*layout, photo.rows, photo.cols)) {
            *job.regionWarnings << "warning: region file '" << job.regionFilePath << "' has "
                                << layout->lines << " lines of " << layout->numbersPerLine
                                << " numbers, the photo " << photo.rows << " rows of " << photo.cols
                                << " pixels: its numbers are taken in order, "
                                   "row after row, not as a transposed table"
                                << std::endl;
        }
    }
    cv::Mat_<uint8_t> mask = readJobMask(job, photo.rows, photo.cols);
    if (console) *console << "Segment the image..." << std::endl;
    Segmentation result = segmentJob(job, segmenter, photo, regions, mask, tree);
    const LabelFormat format =
        job.labelFormat ? *job.labelFormat : labelFormatOfPath(job.outputPath);
    if (labelFile) checkLabelCount(format, result.count, job.outputPath);
    std::optional<SuperpixelGraph> graph;
    if (nodesFile || meanPictureFile) graph = describe(result, photo);
    if (!pictureFile) {
        photo.release();
        regions.release();
    }
    if (console) *console << "Super-pixel num: " << result.count << std::endl;
    if (console && !mask.empty() && cv::countNonZero(mask) == 0) {
        *console << "The mask keeps no pixel: every label is 0" << std::endl;
    }
    if (labelFile) writeLabelMap(*labelFile, result.labels, format, segmenter.threads());
    if (pictureFile) {
        writeBoundaryPicture(*pictureFile, job.picturePath, photo, result.labels,
                             regions.empty() ? nullptr : &regions, job.pictureStyle);
    }
    if (meanPictureFile) {
        writePicture(*meanPictureFile, job.meanPicturePath,
                     meanColourPicture(result.labels, *graph), "mean-colour picture");
    }
    if (nodesFile) writeGraphFiles(*nodesFile, *edgesFile, *graph);
    return result.count;
}

}  // namespace

std::string countedPath(const std::string& path, int count) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const size_t at = extension ? dot : path.size();
    return path.substr(0, at) + "." + std::to_string(count) + path.substr(at);
}

void rethrowNamingPhoto(const std::string& imagePath) {
    const auto failure = [&](const std::string& why) {
        return std::runtime_error("cannot segment '" + imagePath + "': " + why);
    };
    try {
        throw;
    } catch (const OutOfMemory&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw OutOfMemory(imagePath);
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem) throw OutOfMemory(imagePath);
        throw failure("the image library failed" + (e.func.empty() ? "" : " in " + e.func));
    } catch (const std::system_error& e) {
        throw failure(e.code().message());
    } catch (const std::logic_error& e) {
        throw failure(e.what());
    }
}

std::vector<PhotoJob> jobsPerCount(const PhotoJob& job) {
    if (job.counts.size() < 2) return {job};
    std::vector<PhotoJob> jobs;
    for (const int each : job.counts) {
        PhotoJob one = job;
        one.parameters.count = each;
        one.counts = {each};
        for (std::string* path :
             {&one.outputPath, &one.picturePath, &one.meanPicturePath, &one.graphPrefix}) {
            if (!path->empty()) *path = countedPath(*path, each);
        }
        jobs.push_back(std::move(one));
    }
    return jobs;
}

int runPhotoJob(const PhotoJob& job, Segmenter& segmenter, std::ostream* console,
                std::vector<WrittenFile>* handOff) {
    try {
        if (job.counts.size() < 2) return segmentAndWrite(job, segmenter, console, handOff);
        CountTree tree;
        int count = 0;
        for (const PhotoJob& one : jobsPerCount(job))
            count = segmentAndWrite(one, segmenter, console, handOff, &tree);
        return count;
    } catch (...) {
        rethrowNamingPhoto(job.imagePath);
    }
}

}  // namespace segmora
