#pragma once

#include <ostream>
#include <string>

#include "segmora/segmora.h"

namespace segmora {

// One photo's work, as Segmora does it and segmora-batch does it for each photo.
struct PhotoJob {
    std::string imagePath;
    std::string regionFilePath;  // empty: no region file
    std::string outputPath;      // empty: no label file
    std::string picturePath;     // empty: no boundary picture
};

// Reads the photo (and its region file), segments it with `segmenter`, writes the label
// file and the boundary picture, and returns the superpixel count. The console lines
// ("Segment the image...", "Super-pixel num: N") go to `console` unless it is null.
// Throws std::runtime_error naming the file at fault, std::bad_alloc when memory runs
// out; a label file or picture is then neither left partial nor replaced.
int runPhotoJob(const PhotoJob& job, Segmenter& segmenter, std::ostream* console);

}  // namespace segmora
