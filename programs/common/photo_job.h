#pragma once

#include <functional>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "boundary_picture.h"
#include "label_format.h"
#include "photo_orientation.h"
#include "segmora/segmora.h"

namespace segmora {

class OutputFolder;
class WrittenFile;

// One photo's work, as Segmora does it and segmora-batch does it for each photo.
struct PhotoJob {
    std::string imagePath;
    std::string regionFilePath;   // empty: no region file
    std::string maskPath;         // empty: every pixel is segmented (see mask_file.h)
    std::string outputPath;       // empty: no label file
    std::string picturePath;      // empty: no boundary picture
    std::string graphPrefix;      // empty: no graph files PREFIX.nodes.csv, PREFIX.edges.csv
    std::string meanPicturePath;  // empty: no mean-colour picture
    BoundaryStyle pictureStyle;   // how the boundary picture is drawn
    // The knobs, the photo defaults unless set (capDivisor 0: 500, or 3000 with a region map).
    Parameters parameters;
    // --count: one count is parameters.count; several are cut from one run, each written
    // to outputs named by countedPath.
    std::vector<int> counts;
    // The label file's form; nothing: told by the extension of outputPath.
    std::optional<LabelFormat> labelFormat;
    // Whether the photo's recorded orientation turns it (OpenCV's rule) or is ignored.
    Orientation orientation = Orientation::Apply;
    // Significant bits of 16-bit samples (--bit-depth); 16: the high byte is kept.
    int sampleBits = 16;
    // Set for outputs whose names the program made in a folder it holds open: the label
    // file (picture, graph files) is then the last name of outputPath (picturePath) in that folder,
    // written as OutputFile does for such names, never through a link.
    const OutputFolder* labelFolder = nullptr;
    const OutputFolder* pictureFolder = nullptr;
    const OutputFolder* meanPictureFolder = nullptr;
    // Where a warning about the region file goes (a text map whose lines are those of the
    // transposed table), after the program's name; null: not given.
    std::ostream* regionWarnings = nullptr;
    // Takes a warning about the inputs (a picture mask that keeps next to no pixel); unset:
    // no warnings.
    std::function<void(const std::string&)> warn;
};

// Memory ran out during a photo's job; what() names the photo and the step, "segmenting"
// or "decoding".
class OutOfMemory : public std::bad_alloc {
  public:
    explicit OutOfMemory(const std::string& imagePath, const std::string& step = "segmenting")
        : message("out of memory while " + step + " '" + imagePath + "'") {}
    const char* what() const noexcept override { return message.c_str(); }

  private:
    std::string message;
};

// Reads the photo (and its region map, in any form region_map.h reads, and its mask, see
// mask_file.h: outside it every label is 0, and a mask that keeps no pixel adds the console
// line "The mask keeps no pixel: every label is 0"), segments it with
// `segmenter`, writes the label file, the boundary picture, the mean-colour picture (each
// superpixel in its mean colour, see meanColourPicture) and the graph files, and returns
// the superpixel count. The console lines
// ("Segment the image...", "Super-pixel num: N") go to `console` unless it is null.
//
// Before the photo is read, the job refuses a label file or picture that is the photo or
// the region file itself (device and inode, so also through links), a label file that is
// the picture, an output it could not create (see OutputFile), a picture format OpenCV
// cannot write, and a labelFormat that another label format's extension of outputPath
// contradicts (see checkLabelFormatOfName). Temporary files are created only when the results are
// written. Labels that do not fit the label file's form (too many for a PNG) are refused before the
// count line is printed and before anything is written.
//
// With `handOff`, the outputs written into an OutputFolder (labelFolder, pictureFolder) are
// not flushed nor named: each is appended to `handOff` once written in full (see
// WrittenFile), also when a later output then fails; the caller puts them in place.
//
// Throws std::runtime_error naming the file at fault, OutOfMemory (a std::bad_alloc
// naming the photo) when memory runs out; a label file or picture is then neither left
// partial nor replaced. Errors of the image library or the engine are reported in a
// message of ours naming the photo.
int runPhotoJob(const PhotoJob& job, Segmenter& segmenter, std::ostream* console,
                std::vector<WrittenFile>* handOff = nullptr);

// The job of each count of a job with several (--count 100,500): its count set and its
// outputs named by countedPath; a job with one count or none is its own.
std::vector<PhotoJob> jobsPerCount(const PhotoJob& job);

// An output's name for one of several counts: NAME.COUNT.EXT ("out/a.png", 100 gives
// "out/a.100.png"; a name without an extension gets ".COUNT").
std::string countedPath(const std::string& path, int count);

// Called in a catch block: rethrows the exception being handled as runPhotoJob reports
// it. OutOfMemory for std::bad_alloc and OpenCV's out-of-memory errors; std::runtime_error
// "cannot segment 'PHOTO': ..." for other OpenCV errors (without their assertion text),
// std::system_error (a thread that cannot start) and std::logic_error; anything else
// (our own std::runtime_error, which names its file) unchanged.
[[noreturn]] void rethrowNamingPhoto(const std::string& imagePath);

}  // namespace segmora
