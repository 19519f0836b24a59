// Helper of the interrupted-run tests: writes 3 MB to the output file given as the first
// argument (so that its temporary file exists), then meets the signal given as the second
// argument: raised, or for SIGPIPE a write to a pipe nobody reads. A run that survives
// the signal (because it is ignored) commits the file and exits 0.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "output_file.h"
#include "temporary_files.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    segmora::removeTemporaryFilesOnSignals();
    const int signal = std::atoi(argv[2]);
    segmora::OutputFile file(argv[1], "label file");
    const std::vector<char> text(3 << 20, 'x');
    file.write(text.data(), text.size());
    if (signal == SIGPIPE) {
        int ends[2];
        if (::pipe(ends) != 0) return 2;
        ::close(ends[0]);
        if (::write(ends[1], "x", 1) != 1) return 4;  // EPIPE once SIGPIPE is ignored
    } else {
        ::raise(signal);
    }
    file.commit();
    return 0;
}
