function [labels, count] = segmora(rgb, regions, varargin)
%SEGMORA Superpixels of a colour photo: one label per pixel, as the Segmora program gives them.
%   [LABELS, COUNT] = SEGMORA(RGB) divides the photo RGB, as imread gives it, into
%   superpixels. LABELS is an H-by-W double matrix with LABELS(y, x) in 1 ... COUNT: the
%   superpixels are numbered from 1, without gaps, in the order in which their first pixel
%   appears when the photo is read row by row from the top left (raster order). These are
%   exactly the numbers the Segmora program writes to its label file for the same pixels.
%
%   RGB may be H-by-W (grey), H-by-W-by-2 (grey and alpha), H-by-W-by-3 (red, green, blue)
%   or H-by-W-by-4 (RGBA), of class
%       uint8            taken as it is;
%       uint16           brought to 8 bits as 'BitDepth' says: by default its high byte
%                        (value / 256, rounded down), as the program reads a 16-bit file;
%       logical          false is 0, true is 255;
%       single, double   values from 0 to 1, multiplied by 255 and rounded (halves up);
%                        a value outside 0 .. 1 is refused.
%   Grey is copied to red, green and blue and alpha is dropped, as the program reads such
%   files.
%
%   [LABELS, COUNT] = SEGMORA(RGB, REGIONS) also takes a region id per pixel: REGIONS is an
%   H-by-W matrix of any integer class, logical, or single or double whole numbers, all in
%   the int32 range; [] means none. Two superpixels merge only when their region ids are
%   equal (as with Segmora -r).
%
%   [LABELS, COUNT] = SEGMORA(RGB, REGIONS, 'Name', Value, ...) and SEGMORA(RGB, 'Name',
%   Value, ...) set the knobs (names in any case):
%       'Threshold'   merge threshold, a number >= 0 (default 500): larger gives larger
%                     superpixels.
%       'Sigma'       Gaussian smoothing of the channels before the edges, 0 to 100
%                     (default 0: none).
%       'CapDivisor'  sets the scale: merging stops making superpixels larger than
%                     pixels / CapDivisor + 20 pixels (a limit on merging: the clean-up of
%                     small ones may pass it; the count depends on the photo's size and
%                     texture, docs/knobs.md);
%                     a whole number >= 1 (default 500, or 3000 with REGIONS).
%       'MinSize'     superpixels below this many pixels are absorbed by a neighbour; a
%                     whole number >= 0 (default 5). It drives the count most.
%       'BitDepth'    how many bits of uint16 samples hold the data, 8 to 16: each becomes
%                     value / 2^(BitDepth - 8), rounded down, at most 255 (the programs'
%                     --bit-depth). Default 16: the high byte. 12-bit camera data stored in
%                     uint16 wants 12, or it keeps only 16 grey levels. Other classes are
%                     not affected.
%       'Mask'        an H-by-W logical matrix (or numbers each 0 or 1): true where the
%                     photo is segmented. Outside, LABELS is 0; no superpixel crosses
%                     the mask's edge, an inside pixel without inside neighbours is a
%                     superpixel of its own, and the cap still counts every pixel (as
%                     with Segmora -m). A mask without any true pixel gives COUNT 0.
%       'Count'       exactly this many superpixels, cut from the run the other knobs
%                     make (as with Segmora --count; docs/knobs.md); a whole number from
%                     1 to the run's finest count.
%
%   The function keeps its working memory from one call to the next, which makes a
%   series of photos faster; "clear segmora" gives it back.
%
%   Errors (identifier): segmora:nargin (no input), segmora:nargout (more than 2
%   outputs), segmora:badType (RGB or REGIONS of a class not listed above, complex or
%   sparse; also MASK), segmora:badShape (RGB not of a shape above), segmora:emptyImage,
%   segmora:tooLarge (2^29 pixels or more), segmora:badPixel (a single or double value
%   outside 0 .. 1), segmora:sizeMismatch (REGIONS or MASK of another size; badShape when
%   it is not two-dimensional), segmora:badRegion (a region id that is not whole or not in
%   the int32 range, a mask value not 0 or 1), segmora:badOption (an unknown
%   option name, or one without a value), segmora:badValue (a knob's value not a real
%   number in its range), segmora:outOfMemory. Each message names the offending argument.
%
%   Example: draw the superpixel boundaries over the photo.
%       rgb = imread('samples/chelsea.png');
%       [labels, count] = segmora(rgb, [], 'Threshold', 300);
%       [h, w] = size(labels);
%       edge = [diff(labels, 1, 2) ~= 0, false(h, 1)] | [diff(labels, 1, 1) ~= 0; false(1, w)];
%       green = repmat(uint8([0 255 0]), nnz(edge), 1);
%       shown = rgb;
%       shown(repmat(edge, [1 1 3])) = green(:);
%       imshow(shown); title(sprintf('%d superpixels', count));
%
%   See also SEGMORA_BOUNDARIES, SEGMORA_MEAN_PICTURE, SEGMORA_GRAPH,
%   SEGMORA_EVALUATE, LINEPROBE.

% This file holds the help text only; calls go to the compiled segmora MEX file.
error('segmora:notBuilt', 'segmora: the compiled MEX file is not on the path');
end
