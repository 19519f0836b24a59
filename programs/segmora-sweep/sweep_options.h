// The command line of segmora-sweep: the photos, their ground truths, the output folder
// and the lists of knob values whose every combination is a setting of the sweep.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {

struct SweepOptions {
    std::string truthDir;
    std::string outputDir;
    std::string maskDir;  // empty: no masks; else the mask of NAME.EXT, see maskFileFor
    std::vector<Parameters> settings;  // every combination, the last knob varying fastest
    EvaluationOptions evaluation;
    int jobs = 0;  // photos at once; 0: one per processor
    bool resume = false;
    bool ignoreOrientation = false;  // photos as stored, their recorded orientation ignored
    std::vector<std::string> notes;  // lines to say: values of a knob taken once
    bool recursive = false;          // -R: photos in the folders below the given ones too
    bool nullSeparated = false;      // -0: the list on standard input ends paths with NUL
    bool requireTruths = false;      // a photo without ground truth fails (else counted apart)
    bool quiet = false;              // no progress line
    bool help = false;
    bool version = false;
    std::vector<std::string> inputs;  // photos, folders, or "-": the list on standard input
};

class SweepUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the words after the program name. Knob options take a comma-separated list of
// values (--threshold 100,300,1000), each checked as segmora-batch checks one, values equal
// as the engine takes them merged (said in `notes`); options take their value as the next
// word or after '='. Throws SweepUsageError.
SweepOptions parseSweepOptions(const std::vector<std::string>& words);

std::string sweepUsage();

}  // namespace segmora
