function g = segmora_graph(labels, rgb)
%SEGMORA_GRAPH The superpixels of a label matrix and which of them touch.
%   G = SEGMORA_GRAPH(LABELS) describes the superpixels of LABELS, an H-by-W matrix of
%   whole numbers from 1 (double, single or an integer class), as SEGMORA gives them.
%   N = max(LABELS(:)); row k of each per-superpixel field is about label k. A label that
%   no pixel carries has Area 0, NaN Centroid and MeanColor, and BoundingBox
%   [0.5 0.5 0 0]. N may be at most max(H*W, 2^20).
%
%   G = SEGMORA_GRAPH(LABELS, RGB) also gives the mean colours of the H-by-W-by-3 uint8
%   photo RGB.
%
%   G is a struct in the conventions of region properties:
%     Area         N-by-1  pixel count
%     Centroid     N-by-2  [x y], the mean column and row, counted from 1
%     BoundingBox  N-by-4  [x y width height], x and y at the pixel edge (column - 0.5)
%     MeanColor    N-by-3  mean of each channel of RGB, in its order ([] without RGB)
%     Edges        E-by-2  label pairs [a b], a < b, whose pixels are 8-neighbours,
%                          sorted by a, then b
%     Border       E-by-1  neighbouring pixel pairs (p, q), p in a, q in b (8-neighbours)
%
%   Errors (identifier): segmora:nargin, segmora:nargout, segmora:badType (LABELS not a
%   real numeric matrix, RGB not uint8), segmora:badShape (LABELS not two-dimensional),
%   segmora:sizeMismatch (RGB not H-by-W-by-3), segmora:badLabel (a label that is not a
%   whole number from 1 to 2^31 - 1), segmora:badInput (too many labels),
%   segmora:tooLarge, segmora:outOfMemory.
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
%   See also segmora, lineprobe

% This file holds the help text only; calls go to the compiled segmora_graph MEX file.
error('segmora:notBuilt', 'segmora_graph: the compiled MEX file is not on the path');
end
