#pragma once

#include <stdexcept>
#include <string>

#include "photo_job.h"

namespace segmora {

// A command-line value that an option cannot take; the message names the option.
class BadOptionValue : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// True for the options both programs take for each photo: --threshold, --sigma,
// --cap-divisor, --min-size, --count, --format, and the boundary picture's --boundary-colour,
// --region-colour and --boundary-mode.
bool isJobOption(const std::string& word);

// True for the flags (options without a value) both programs take for each photo:
// --ignore-orientation.
bool isJobFlag(const std::string& word);

// Sets such a flag in `job`.
void setJobFlag(PhotoJob& job, const std::string& word);

// Sets such an option's value in `job`. Throws BadOptionValue
// "--sigma wants a number from 0 to 100, not 'x'" for a value out of range or not a number.
void setJobOption(PhotoJob& job, const std::string& word, const std::string& value);

// Usage lines of these options and flags, each ended by a line feed, indented by `indent` spaces
// with the descriptions starting at column `column`; `formatDefault` says which label file
// form the program writes without --format.
std::string jobOptionsUsage(int indent, int column, const std::string& formatDefault);

}  // namespace segmora
