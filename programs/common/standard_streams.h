#pragma once

namespace segmora {

// Which of the standard descriptors were closed when the program started.
struct ClosedStandardStreams {
    bool input = false, output = false, error = false;
    bool unusable = false;  // a closed one could not be opened on /dev/null
};

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Call it first in main,
// before anything else opens a file: a file opened later would otherwise take the closed
// number, and what the program prints as its console output would land in that file.
// Returns which descriptors were closed, so that the program can report output it could
// not deliver.
ClosedStandardStreams openClosedStandardStreams() noexcept;

// A descriptor for the program's own messages (a copy of standard error); descriptor 2
// itself then goes to /dev/null for the rest of the run. The image libraries' warnings are
// not for the user, and a reader's own silencing of descriptor 2 (save, redirect, restore)
// is not safe with several workers reading at once. Standard error itself when no copy can
// be made.
int moveMessagesOffStandardError() noexcept;

}  // namespace segmora
