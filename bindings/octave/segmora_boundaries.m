function picture = segmora_boundaries(rgb, labels, varargin)
%SEGMORA_BOUNDARIES The photo with the superpixel boundaries drawn over it.
%   PICTURE = SEGMORA_BOUNDARIES(RGB, LABELS) is the photo RGB (any image SEGMORA takes,
%   brought to 8-bit red, green and blue as SEGMORA does) with the boundaries of LABELS
%   (an H-by-W matrix of whole numbers of any class; only which pixels share a value
%   matters) painted green: the pixels of the programs' -v picture. PICTURE is
%   H-by-W-by-3 uint8.
%
%   Options, as name-value pairs (names in any case):
%     'Colour'        [r g b], the boundary colour (default green; the programs'
%     or 'Color'      --boundary-colour), as Octave writes colours: single or double
%                     values all at most 1 are fractions of full intensity ([1 0 0] is
%                     red); otherwise, and for integer classes, whole numbers 0 .. 255
%                     ([255 0 0], uint8([255 0 0])).
%     'RegionColour'  [r g b], the same way: the colour of the boundaries of 'Regions'
%     or 'RegionColor' (default magenta; --region-colour). Region boundaries win.
%     'Mode'          'thin' (default): the pixel above or left of each boundary;
%                     'thick': both sides (--boundary-mode)
%     'Regions'       an H-by-W map of region ids whose boundaries are drawn too
%
%   Errors (identifier): segmora:nargin, segmora:nargout, segmora:badOption,
%   segmora:badValue, and SEGMORA's for RGB, LABELS and Regions (segmora:badType,
%   segmora:badShape, segmora:sizeMismatch, segmora:badPixel, segmora:badLabel).
%
%   See also SEGMORA, SEGMORA_MEAN_PICTURE, SEGMORA_GRAPH,
%   SEGMORA_EVALUATE, LINEPROBE.
% This file holds the help text only; calls go to the compiled segmora_boundaries MEX file.
error('segmora:notBuilt', 'segmora_boundaries: the compiled MEX file is not on the path');
end
