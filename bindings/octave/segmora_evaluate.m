function s = segmora_evaluate(labels, truths, rgb, varargin)
%SEGMORA_EVALUATE Superpixel quality against ground truth.
%   S = SEGMORA_EVALUATE(LABELS, TRUTHS) scores the superpixels LABELS, an H-by-W matrix,
%   against TRUTHS, one H-by-W ground-truth matrix or a cell array of them; with several
%   truths each measure is the mean over them. Label matrices may be double, single (whole
%   numbers), logical or of any integer class, all in the int32 range; only which pixels
%   share a label counts.
%
%   S = SEGMORA_EVALUATE(LABELS, TRUTHS, RGB) also gives the explained variation of the
%   photo RGB (any image SEGMORA takes; [] for none).
%
%   Options (name-value pairs):
%     'Tolerance'   boundary pixels at most this many pixels apart (the larger of the row
%                   and column distances) match; a whole number >= 0, default 2
%     'IgnoreZero'  true: label 0 in a truth marks unlabelled pixels, left out of the
%                   truth's side of every measure; default false
%
%   S is a struct of doubles (definitions in docs/evaluation.md):
%     BoundaryRecall, BoundaryPrecision, UndersegmentationError,
%     AchievableSegmentationAccuracy, ExplainedVariation (NaN without RGB or on a photo of
%     one colour), Compactness, Count (distinct labels), Truths (how many were averaged)
%
%   Errors (identifier): segmora:nargin, segmora:nargout, segmora:badType,
%   segmora:sizeMismatch, segmora:badRegion (a label outside the int32 range),
%   segmora:badOption, segmora:badValue, segmora:badInput, segmora:outOfMemory.
%
%   Example:
%       rgb = imread('samples/chelsea.png');
%       labels = segmora(rgb);
%       truth = dlmread('tests/golden/regions/chelsea.txt');
%       s = segmora_evaluate(labels, truth, rgb, 'Tolerance', 2);
%
%   See also SEGMORA, SEGMORA_BOUNDARIES, SEGMORA_MEAN_PICTURE,
%   SEGMORA_GRAPH, LINEPROBE.
  error('segmora:notBuilt', 'segmora_evaluate is a MEX function: build it first');
end
