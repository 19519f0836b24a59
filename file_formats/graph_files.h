#pragma once

#include <string>

#include "segmora/segmora.h"

namespace segmora {

// The superpixel graph as two comma-separated files, each with a header line:
//   PREFIX.nodes.csv  label,size,row,col,min_row,min_col,max_row,max_col,
//                     mean_red,mean_green,mean_blue,mean_L,mean_a,mean_b
//                     (centroid row and column from 0, inclusive box, mean colour in the
//                     order of Python's mean_color, mean 8-bit Lab; the six colour cells are
//                     empty for a graph without colours)
//   PREFIX.edges.csv  a,b,border
// Doubles are written in the shortest form that reads back as the same double.

std::string graphNodesPath(const std::string& prefix);
std::string graphEdgesPath(const std::string& prefix);

class OutputFile;
// Writes both files into files opened earlier, then commits the nodes file and the edges
// file. Failures throw std::runtime_error naming the file.
void writeGraphFiles(OutputFile& nodes, OutputFile& edges, const SuperpixelGraph& graph);

}  // namespace segmora
