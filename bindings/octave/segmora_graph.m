function g = segmora_graph(labels, rgb)
%SEGMORA_GRAPH The superpixels of a label matrix and which of them touch.
%   G = SEGMORA_GRAPH(LABELS) describes the superpixels of LABELS, an H-by-W matrix of
%   whole numbers from 0 to 2^31 - 1 (double, single, logical or an integer class), as
%   SEGMORA gives them. N = max(LABELS(:)); row k of each per-superpixel field is about
%   label k. Label 0 is background: its pixels get no row and no edges and count in no
%   mean, so a 0-based segmentation is passed as LABELS + 1. A label that no pixel
%   carries has Area 0, NaN Centroid and MeanColor, and BoundingBox [0.5 0.5 0 0]. N may
%   be at most max(H*W, 2^20).
%
%   G = SEGMORA_GRAPH(LABELS, RGB) also gives the mean colours of the photo RGB, of the
%   labels' size and of any kind SEGMORA takes (grey, grey and alpha, RGB, RGBA; uint8,
%   uint16, logical, single or double in 0 .. 1), brought to 8-bit red, green and blue
%   as SEGMORA does.
%
%   G is a struct in the conventions of region properties:
%     Area         N-by-1  pixel count
%     Centroid     N-by-2  [x y], the mean column and row, counted from 1
%     BoundingBox  N-by-4  [x y width height], x and y at the pixel edge (column - 0.5)
%     MeanColor    N-by-3  mean red, green and blue (0 .. 255) ([] without RGB)
%     Edges        E-by-2  label pairs [a b], a < b, whose pixels are 8-neighbours,
%                          sorted by a, then b
%     Border       E-by-1  neighbouring pixel pairs (p, q), p in a, q in b (8-neighbours)
%
%   Errors (identifier), in SEGMORA's words for RGB: segmora:nargin, segmora:nargout,
%   segmora:badType (LABELS or RGB of a class not listed above, complex or sparse),
%   segmora:badShape (LABELS not two-dimensional, RGB of another shape),
%   segmora:sizeMismatch (RGB not H-by-W like LABELS), segmora:badPixel (a single or
%   double value outside 0 .. 1), segmora:badLabel (a label that is not a whole number
%   from 0 to 2^31 - 1), segmora:badInput (too many labels), segmora:tooLarge,
%   segmora:outOfMemory.
%
%   Example: the affinity of neighbouring superpixels, from the strongest gradient on
%   the straight line between their centroids (see docs/graph.md).
%       rgb = imread('samples/chelsea.png');
%       labels = segmora(rgb);
%       g = segmora_graph(labels, rgb);
%       [gx, gy] = gradient(double(rgb2gray(rgb)));
%       at = round(g.Centroid) - 1;                       % [column row] from 0
%       index = at(:, 1) * size(labels, 1) + at(:, 2);    % column-major, from 0
%       strongest = lineprobe(hypot(gx, gy), index(g.Edges(:, 1))', index(g.Edges(:, 2))');
%
%   See also SEGMORA, SEGMORA_BOUNDARIES, SEGMORA_MEAN_PICTURE,
%   SEGMORA_EVALUATE, LINEPROBE.

% This file holds the help text only; calls go to the compiled segmora_graph MEX file.
error('segmora:notBuilt', 'segmora_graph: the compiled MEX file is not on the path');
end
