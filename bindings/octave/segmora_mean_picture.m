function picture = segmora_mean_picture(labels, rgb)
%SEGMORA_MEAN_PICTURE The photo with each superpixel painted in its mean colour.
%   PICTURE = SEGMORA_MEAN_PICTURE(LABELS, RGB) paints every pixel in the mean colour of
%   its superpixel, each channel rounded to the nearest whole number, and background
%   (label 0) black; LABELS and RGB as for SEGMORA_GRAPH. PICTURE is H-by-W-by-3 uint8,
%   the pixels of the programs' --mean-picture and of Python's segmora.mean_picture.
%
%   Errors (identifier): those of SEGMORA_GRAPH.
%
%   See also SEGMORA, SEGMORA_BOUNDARIES, SEGMORA_GRAPH,
%   SEGMORA_EVALUATE, LINEPROBE.
% This file holds the help text only; calls go to the compiled segmora_mean_picture MEX file.
error('segmora:notBuilt', 'segmora_mean_picture: the compiled MEX file is not on the path');
end
