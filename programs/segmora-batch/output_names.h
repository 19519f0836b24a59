#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch_options.h"
#include "photo_list.h"

namespace segmora {

// The first file name that the results of two photos would both take (a label file, a
// boundary picture, a graph file NAME.nodes.csv or NAME.edges.csv of one being an output
// of another: x.nodes.png's label file is x.png's graph file), as a message naming the
// file and both photos; nothing when every output has a name of its own.
std::optional<std::string> sharedOutputName(const std::vector<ListedPhoto>& photos,
                                            const BatchOptions& options);

}  // namespace segmora
