function [labels, range, tree] = segmora_hierarchy(rgb, regions, varargin)
%SEGMORA_HIERARCHY Superpixels at several exact counts from one run.
%   LABELS = SEGMORA_HIERARCHY(RGB, REGIONS, 'Counts', N, ...) runs SEGMORA once with the
%   same photo, region map and options, builds the hierarchy of every count from that run
%   (docs/knobs.md gives the definition) and cuts it at each count of the vector N: LABELS
%   is H-by-W-by-numel(N), and LABELS(:, :, k) holds exactly N(k) superpixels, numbered 1 ..
%   N(k) in row-major order of first pixels as SEGMORA numbers them, 0 outside a 'Mask'.
%   Cuts are nested: every superpixel of a finer count lies inside one of a coarser count.
%   Each cut takes time linear in the pixels. Without 'Counts', LABELS is SEGMORA's own
%   labels (the default count). REGIONS may be omitted or [].
%
%   [LABELS, RANGE] = SEGMORA_HIERARCHY(...) also gives RANGE = [FINEST DEFAULT COARSEST]:
%   the counts that may be asked for lie from COARSEST to FINEST; DEFAULT is SEGMORA's
%   count. COARSEST is 1, or with REGIONS (or a mask) the count at which no two touching
%   superpixels share a region.
%
%   [LABELS, RANGE, TREE] = SEGMORA_HIERARCHY(...) also gives the tree: TREE.finest, the
%   H-by-W labels of the finest count, and TREE.merges, one row [A B HEIGHT] per merge in
%   order: the superpixels holding finest labels A and B join, across an edge of weight
%   HEIGHT. The first FINEST - N rows give the superpixels of count N.
%
%   The options are SEGMORA's ('Threshold', 'Sigma', 'CapDivisor', 'MinSize', 'BitDepth',
%   'Mask'), which shape the run the counts are cut from, and 'Counts', a vector of whole
%   numbers within RANGE (double). A count outside RANGE raises segmora:badInput
%   naming the range; the other errors are SEGMORA's.
%
%   Example:
%     rgb = imread('photo.png');
%     [labels, range] = segmora_hierarchy(rgb, [], 'Counts', [100 500 2000]);
%     imagesc(labels(:, :, 1));
%
%   See also SEGMORA.

% This file holds the help text only; calls go to the compiled segmora_hierarchy MEX file.
error('segmora:notBuilt', 'segmora_hierarchy: the compiled MEX file is not on the path');
end
