function octave_functions_test(photo, labelFile, folder)
% OCTAVE_FUNCTIONS_TEST Checks the packaged MEX functions on the path, which must come from
% below FOLDER: the compiled lineprobe with its help text and, when packaged, segmora
% against the label file LABELFILE that the Segmora program wrote for PHOTO.
  assert(exist('lineprobe'), 3, 'lineprobe: no MEX file on the path');
  assert(strncmp(which('lineprobe'), folder, numel(folder)),
         'lineprobe: %s is not from %s', which('lineprobe'), folder);
  assert(lineprobe([1 2 3; 4 5 6; 7 8 9], [0 0], [8 6]), [5; 2]);
  assert(lineprobe(magic(4), 5, 5), -1e7);
  try
    lineprobe([1 2; 3 4], 0);
    error('lineprobe accepted two inputs');
  catch failure
    assert(failure.identifier, 'lineprobe:nargin');
  end
  assert(! isempty(strfind(get_help_text('lineprobe'), 'Largest absolute value')),
         'lineprobe: no help text beside the MEX file');

  if exist('segmora') == 0
    disp('octave_functions_test: lineprobe passed; segmora is not packaged');
    return;
  end
  assert(exist('segmora'), 3, 'segmora: no MEX file on the path');
  assert(strncmp(which('segmora'), folder, numel(folder)),
         'segmora: %s is not from %s', which('segmora'), folder);
  assert(! isempty(get_help_text('segmora')), 'segmora: no help text beside the MEX file');
  % The call the segmora help file documents: labels of an RGB photo as imread gives it.
  state = warning('off', 'all');  % the image library's remarks on the file's colour profile
  rgb = imread(photo);
  warning(state);
  labels = segmora(rgb);
  assert(isequal(double(labels), dlmread(labelFile, ',')),
         'segmora: labels differ from the Segmora program''s label file');
  % segmora_graph comes with segmora: the graph of those labels.
  assert(strncmp(which('segmora_graph'), folder, numel(folder)),
         'segmora_graph: %s is not from %s', which('segmora_graph'), folder);
  assert(! isempty(get_help_text('segmora_graph')), 'segmora_graph: no help text');
  g = segmora_graph(labels, rgb);
  assert(isequal(g.Area, accumarray(labels(:), 1)), 'segmora_graph: areas differ');
  % segmora_evaluate too: those labels against themselves.
  assert(! isempty(get_help_text('segmora_evaluate')), 'segmora_evaluate: no help text');
  s = segmora_evaluate(labels, labels, rgb);
  assert(s.BoundaryRecall == 1 && s.UndersegmentationError == 0 && s.Count == max(labels(:)),
         'segmora_evaluate: labels against themselves do not score perfectly');
  % And the pictures: the programs' -v lines and mean colours.
  assert(! isempty(get_help_text('segmora_boundaries')), 'segmora_boundaries: no help text');
  lines = segmora_boundaries(rgb, labels, 'Mode', 'thick');
  assert(isequal(size(lines), size(rgb)) && isa(lines, 'uint8'), 'segmora_boundaries: bad picture');
  assert(! isempty(get_help_text('segmora_mean_picture')), 'segmora_mean_picture: no help text');
  flat = segmora_mean_picture(labels, rgb);
  assert(isequal(size(flat), size(rgb)), 'segmora_mean_picture: bad picture');
  disp('octave_functions_test: lineprobe and the segmora functions passed');
end
