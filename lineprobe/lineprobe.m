function maxima = lineprobe(values, indicesA, indicesB)
%LINEPROBE Largest absolute value along digital lines between pairs of pixels.
%   MAXIMA = LINEPROBE(VALUES, INDICESA, INDICESB) walks, for each pair k, the digital
%   straight line from the pixel INDICESA(k) towards the pixel INDICESB(k) of the real
%   double matrix VALUES and returns in MAXIMA(k) the largest absolute value met there.
%
%   Indices are zero-based linear indices in column-major order: index i names
%   VALUES(i + 1), the element at row mod(i, M) and column floor(i / M), both counted
%   from zero, of an M-by-N matrix. Fractional indices are truncated toward zero; every
%   index must then lie in 0 ... M*N-1.
%
%   The line steps along its longer axis (along the columns on an exact diagonal),
%   starts at the pixel with the smaller coordinate on that axis and stops just before
%   the other pixel, which is not visited. Each value is rounded to single precision
%   before its magnitude is taken. A NaN replaces the running maximum, and the value
%   visited after it replaces the NaN.
%
%   MAXIMA is a K-by-1 double column with K = numel(INDICESA). INDICESB needs at least
%   K elements; its first K are used. When the two pixels of a pair coincide nothing is
%   visited and MAXIMA(k) is the sentinel -10,000,000 (-1e7); every other result is
%   non-negative or NaN.
%
%   A call whose lines hold half a million pixels or more in all walks them on two
%   threads when the machine has two cores; the results are the same.
%
%   Errors: lineprobe:nargin (not three inputs), lineprobe:nargout (more than one
%   output), lineprobe:badType (an input that is not a real, non-sparse double array),
%   lineprobe:emptyValues, lineprobe:tooLarge (VALUES with more than 2^24 rows or
%   columns), lineprobe:shortIndices (INDICESB shorter than INDICESA),
%   lineprobe:badIndex (NaN, Inf or out-of-range index), lineprobe:outOfMemory (no
%   memory for the pairs' pixel coordinates).
%
%   Example:
%       lineprobe([1 2 3; 4 5 6; 7 8 9], [0 0], [8 6])   % gives [5; 2]
%
%   See also SEGMORA, SEGMORA_BOUNDARIES, SEGMORA_MEAN_PICTURE,
%   SEGMORA_GRAPH, SEGMORA_EVALUATE.

% This file holds the help text only; calls go to the compiled lineprobe MEX file.
error('lineprobe:notBuilt', 'lineprobe: the compiled MEX file is not on the path');
end
