"""Superpixels of colour photos.

    labels, count = segmora.segment(rgb)            # rgb: uint8 array (H, W, 3), RGB
    labels, count = segmora.segment(rgb, regions)   # regions: integer array (H, W)

labels is an int32 array of shape (H, W) holding 1 .. count, numbered in raster
order of each superpixel's first pixel: the labels the Segmora program writes.

For many photos, segmora.Segmenter() keeps its buffers from one call to the next:

    worker = segmora.Segmenter()
    for rgb in photos:
        labels, count = worker.segment(rgb)

The superpixel graph: g = segmora.graph(labels, rgb) gives g.size, g.centroid,
g.bbox, g.mean_color, g.edges and g.border as numpy arrays (see help(segmora.graph)).
"""

from ._segmora import Segmenter, __version__, segment
from ._segmora import Graph, graph, mean_picture

__all__ = ["Segmenter", "segment", "__version__"]
__all__ += ["Graph", "graph", "mean_picture"]
