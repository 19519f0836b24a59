#pragma once

#include <string>

#include "segmora/segmora.h"

namespace segmora {

// The superpixel graph as two comma-separated files, each with a header line:
//   PREFIX.nodes.csv  label,size,row,col,min_row,min_col,max_row,max_col,b,g,r
//                     (centroid row and column from 0, inclusive box, mean colour)
//   PREFIX.edges.csv  a,b,border
// Fractions are written with 17 significant digits, enough to read back the same doubles.

std::string graphNodesPath(const std::string& prefix);
std::string graphEdgesPath(const std::string& prefix);

class OutputFile;
// Writes both files into files opened earlier, then commits the nodes file and the edges
// file. Failures throw std::runtime_error naming the file.
void writeGraphFiles(OutputFile& nodes, OutputFile& edges, const SuperpixelGraph& graph);

}  // namespace segmora
