// The region-map reader on arbitrary NumPy files: a header from the input (its
// dictionary text taken as it comes) and the elements after it. A read must either give
// exactly the elements the header describes, or fail with one message naming the region
// file; never crash or read past the file.
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "fuzz_data.h"
#include "region_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using segmora::fuzz::check;
    segmora::fuzz::FuzzData in(data, size);
    const int rows = 1 + in.below(4), cols = 1 + in.below(4);
    const bool wellFormed = in.below(2) == 0;
    std::string file = "\x93NUMPY";
    std::string rest = in.rest();
    if (wellFormed) {
        // A proper header for int8 of the right shape, then the input as elements.
        const std::string header = "{'descr': '|i1', 'fortran_order': False, 'shape': (" +
                                   std::to_string(rows) + ", " + std::to_string(cols) + "), }\n";
        file += std::string("\x01\x00", 2) + char(header.size()) + '\0' + header + rest;
    } else {
        file += rest;  // version, length, dictionary and elements from the input
    }
    const std::string path = segmora::fuzz::scratchDirectory() + "/regions.npy";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << file;

    cv::Mat_<int> regions(rows, cols, 1);
    try {
        segmora::readRegionMap(path, regions);
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        check(message.rfind("region file '" + path + "'", 0) == 0 ||
                  message.rfind("cannot read region file '" + path + "'", 0) == 0,
              "message does not name the region file: " + message);
        check(!wellFormed || rest.size() < regions.total(), "well-formed map refused");
        return 0;
    }
    if (wellFormed) {
        for (size_t i = 0; i < regions.total(); ++i) {
            check(regions(static_cast<int>(i / cols), static_cast<int>(i % cols)) ==
                      static_cast<signed char>(rest[i]),
                  "element read wrongly");
        }
    }
    return 0;
}
