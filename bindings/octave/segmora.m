function [labels, count] = segmora(rgb, regions)
%SEGMORA Superpixels of a colour photo: one label per pixel, as the Segmora program gives them.
%   [LABELS, COUNT] = SEGMORA(RGB) divides the photo RGB, an H-by-W-by-3 uint8 array in
%   red-green-blue order as imread gives it, into superpixels. LABELS is an H-by-W double
%   matrix with LABELS(y, x) in 1 ... COUNT: the superpixels are numbered from 1, without
%   gaps, in the order in which their first pixel appears when the photo is read row by
%   row from the top left (raster order). These are exactly the numbers the Segmora
%   program writes to its label file for the same pixels.
%
%   [LABELS, COUNT] = SEGMORA(RGB, REGIONS) also takes a region id per pixel: REGIONS is
%   an H-by-W int32 matrix, or a double matrix of whole numbers in the int32 range. Two
%   superpixels merge only when their region ids are equal (as with Segmora -r; the size
%   cap is then pixels / 3000 + 20 instead of pixels / 500 + 20).
%
%   The function keeps its working memory from one call to the next, which makes a
%   series of photos faster; "clear segmora" gives it back.
%
%   Errors (identifier): segmora:nargin (not 1 or 2 inputs), segmora:nargout (more than
%   2 outputs), segmora:badType (RGB not uint8, REGIONS not int32 or double, complex or
%   sparse input), segmora:badShape (RGB not H-by-W-by-3), segmora:emptyImage,
%   segmora:tooLarge (2^29 pixels or more), segmora:sizeMismatch (REGIONS not H-by-W),
%   segmora:badRegion (a region id that is not whole or not in the int32 range),
%   segmora:outOfMemory. Each message names the offending argument.
%
%   Example: draw the superpixel boundaries over the photo.
%       rgb = imread('samples/chelsea.png');
%       [labels, count] = segmora(rgb);
%       [h, w] = size(labels);
%       edge = [diff(labels, 1, 2) ~= 0, false(h, 1)] | [diff(labels, 1, 1) ~= 0; false(1, w)];
%       green = repmat(uint8([0 255 0]), nnz(edge), 1);
%       shown = rgb;
%       shown(repmat(edge, [1 1 3])) = green(:);
%       imshow(shown); title(sprintf('%d superpixels', count));
%
%   See also lineprobe

% This file holds the help text only; calls go to the compiled segmora MEX file.
error('segmora:notBuilt', 'segmora: the compiled MEX file is not on the path');
end
