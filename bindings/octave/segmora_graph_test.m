function segmora_graph_test(mexDir, program, samplesDir, scratchDir)
% Tests the segmora_graph MEX file in mexDir against plain loops, on segmented photos and
% on awkward label maps; the first failure raises an error. program and scratchDir are
% for the comparison with the graph files that the Segmora program writes.
addpath(mexDir);
[~, ~, ext] = fileparts(which('segmora_graph'));
assert(ext, '.mex');
testPhotos(samplesDir);
testAwkwardMaps();
testProgramFiles(program, samplesDir, scratchDir);
testImageKinds(program, samplesDir, scratchDir);
testMalformedCalls();
assert(! isempty(strfind(get_help_text('segmora_graph'), 'BoundingBox')));
printf('segmora_graph_test: all passed\n');
end

function rgb = readPhoto(path)
quiet = warning('off', 'all');  % the image library's notes on colour profiles
rgb = imread(path);
warning(quiet);
end

% The graph by loops: every pixel, each of its 8 neighbours.
function g = plainGraph(labels, rgb)
n = max(labels(:));
[h, w] = size(labels);
area = zeros(n, 1); sumX = zeros(n, 1); sumY = zeros(n, 1); colour = zeros(n, 3);
low = inf(n, 2); high = -inf(n, 2);
pairs = zeros(0, 2);
for x = 1:w
  for y = 1:h
    a = labels(y, x);
    if a == 0  % background
      continue;
    end
    area(a) += 1; sumX(a) += x; sumY(a) += y;
    low(a, :) = min(low(a, :), [x y]); high(a, :) = max(high(a, :), [x y]);
    if nargin > 1
      colour(a, :) += double(reshape(rgb(y, x, :), 1, 3));
    end
    for dx = -1:1
      for dy = -1:1
        if y + dy >= 1 && y + dy <= h && x + dx >= 1 && x + dx <= w && a < labels(y + dy, x + dx)
          pairs(end + 1, :) = [a labels(y + dy, x + dx)];
        end
      end
    end
  end
end
g.Area = area;
g.Centroid = [sumX sumY] ./ area;
g.BoundingBox = [low - 0.5, high - low + 1];
g.BoundingBox(area == 0, :) = repmat([0.5 0.5 0 0], nnz(area == 0), 1);
g.MeanColor = [];
if nargin > 1
  g.MeanColor = colour ./ area;
end
[g.Edges, ~, which] = unique(pairs, 'rows');
g.Edges = reshape(g.Edges, [], 2);
g.Border = accumarray(which, 1, [rows(g.Edges) 1]);
end

function expectPlainGraph(labels, varargin)
got = segmora_graph(labels, varargin{:});
want = plainGraph(double(labels), varargin{:});
assert(got.Centroid, want.Centroid, -4 * eps);
for field = {'Area', 'BoundingBox', 'MeanColor', 'Edges', 'Border'}
  assert(isequaln(got.(field{1}), want.(field{1})), '%s differs (%d x %d labels)', ...
         field{1}, rows(labels), columns(labels));
end
end

function testPhotos(samplesDir)
for name = {'astronaut', 'chelsea', 'coffee'}
  rgb = readPhoto(fullfile(samplesDir, [name{1} '.png']));
  [labels, count] = segmora(rgb);
  g = segmora_graph(labels, rgb);
  % The whole photo: sums by accumarray.
  [x, y] = meshgrid(1:columns(labels), 1:rows(labels));
  area = accumarray(labels(:), 1);
  assert(isequal(g.Area, area) && rows(g.Area) == count);
  % The centroid is the engine's mean of zero-based coordinates plus 1: a few ulps from the
  % mean of one-based ones.
  assert(g.Centroid, [accumarray(labels(:), x(:)) accumarray(labels(:), y(:))] ./ area, -4 * eps);
  for c = 1:3
    channel = double(rgb(:, :, c));
    assert(isequal(g.MeanColor(:, c), accumarray(labels(:), channel(:)) ./ area));
  end
  assert(sum(g.Border), nnz(diff(labels, 1, 2)) + nnz(diff(labels, 1, 1)) + ...
         nnz(labels(1:end - 1, 1:end - 1) != labels(2:end, 2:end)) + ...
         nnz(labels(1:end - 1, 2:end) != labels(2:end, 1:end - 1)));
  % A corner of it by loops: labels with gaps, as int32 and as double.
  corner = labels(21:60, 31:85);
  expectPlainGraph(int32(corner), rgb(21:60, 31:85, :));
  expectPlainGraph(corner);
end
end

function testAwkwardMaps()
ring = 3 * ones(6, 7); ring(2:5, 2:6) = 2; ring(3:4, 3:5) = 1;
checker = mod((1:8)' + (1:5), 2) + 1;
maps = {ones(4, 5), [1 2; 3 4], uint8([1 2; 2 1]), ring, reshape(1:63, 7, 9), checker, ...
        int16([1 1 2 3 3 2 1]), uint64([1; 2; 2; 3]), [5 5; 1 5], ...
        randi(300, 30, 20), [0 1; 2 0], ring .* (ring != 2), randi(300, 30, 20) - 1, ...
        zeros(3, 4), true(3, 2)};
rand('seed', 1);
for k = 1:numel(maps)
  labels = maps{k};
  expectPlainGraph(labels, uint8(255 * rand([size(labels) 3])));
  expectPlainGraph(labels);
end
g = segmora_graph([1 2; 3 4]);
assert(g.Edges, [1 2; 1 3; 1 4; 2 3; 2 4; 3 4]);
assert(g.Border, ones(6, 1));
g = segmora_graph([5 5; 1 5]);
assert(g.Area', [1 0 0 0 3]);
assert(g.BoundingBox(5, :), [0.5 0.5 2 2]);
assert(all(isnan(g.Centroid(2:4, :)(:))));
assert(isequal(g.MeanColor, []));
g = segmora_graph(zeros(0, 4), uint8(zeros(0, 4, 3)));
assert(size(g.Area), [0 1]);
assert(size(g.MeanColor), [0 3]);
assert(size(g.Edges), [0 2]);
end

% The program's graph files against the MEX function on the same photo.
function testProgramFiles(program, samplesDir, scratchDir)
photo = fullfile(samplesDir, 'coffee.png');
prefix = fullfile(scratchDir, 'coffee-graph');
[status, output] = system(sprintf('"%s" -i "%s" --graph "%s"', program, photo, prefix));
assert(status, 0, output);
g = segmora_graph(segmora(readPhoto(photo)), readPhoto(photo));
nodes = dlmread([prefix '.nodes.csv'], ',', 1, 0);
edges = dlmread([prefix '.edges.csv'], ',', 1, 0);
assert(nodes(:, 1), (1:rows(g.Area))');
assert(nodes(:, 2), g.Area);
assert(nodes(:, [4 3]) + 1, g.Centroid);
assert([nodes(:, [6 5]) + 0.5, nodes(:, [8 7]) - nodes(:, [6 5]) + 1], g.BoundingBox);
assert(nodes(:, 9:11), g.MeanColor);
assert(columns(nodes), 14);
assert(edges, [g.Edges g.Border]);
end

% Files of other kinds, read by imread as they are: the graph of the 8-bit pixels the
% program decodes from them (the high byte, grey to all colours, alpha dropped), around
% the program's own labels with background where they are a multiple of 4.
function testImageKinds(program, samplesDir, scratchDir)
rgb = readPhoto(fullfile(samplesDir, 'chelsea.png'))(31:100, 41:130, :);
grey = rgb(:, :, 2);
rgb16 = uint16(rgb) * 256 + uint16(mod(reshape(1:numel(rgb), size(rgb)), 256));
alpha = uint8(mod(reshape(1:numel(grey), size(grey)) * 7, 256));
kinds = {'rgb16', rgb16, rgb; 'grey', grey, repmat(grey, [1 1 3]); 'rgba', rgb, rgb};
for k = 1:rows(kinds)
  file = fullfile(scratchDir, [kinds{k, 1} '.png']);
  if strcmp(kinds{k, 1}, 'rgba')
    imwrite(kinds{k, 2}, file, 'Alpha', alpha);
  else
    imwrite(kinds{k, 2}, file);
  end
  labelFile = fullfile(scratchDir, [kinds{k, 1} '.csv']);
  [status, output] = system(sprintf('"%s" -i "%s" -o "%s"', program, file, labelFile));
  assert(status, 0, output);
  labels = dlmread(labelFile, ',');
  labels(mod(labels, 4) == 0) = 0;
  [read, ~, readAlpha] = imread(file);
  if ! isempty(readAlpha)
    read = cat(3, read, readAlpha);
  end
  g = segmora_graph(labels, read);
  inside = labels > 0;
  area = accumarray(labels(inside), 1, [max(labels(:)) 1]);
  assert(g.Area, area);
  for c = 1:3
    channel = double(kinds{k, 3}(:, :, c));
    mean = accumarray(labels(inside), channel(inside), [max(labels(:)) 1]) ./ area;
    assert(isequaln(g.MeanColor(:, c), mean), '%s: channel %d', kinds{k, 1}, c);
  end
  assert(isequaln(segmora_graph(labels, read), segmora_graph(int32(labels), kinds{k, 3})));
end
end

function expectError(id, varargin)
try
  segmora_graph(varargin{:});
catch failure
  assert(failure.identifier, id);
  return;
end
error('segmora_graph accepted a call that should fail with %s', id);
end

% Both calls fail with the same message (the first's `from` read as `to`), but for the name.
function expectSameMessage(first, second, from, to)
try
  first();
  error('accepted');
catch one
end
try
  second();
  error('accepted');
catch other
end
if nargin > 2
  one.message = strrep(one.message, from, to);
end
assert(strrep(other.message, 'segmora_graph: ', ''), strrep(one.message, 'segmora: ', ''));
assert(other.identifier, one.identifier);
end

function testMalformedCalls()
labels = [1 2; 2 3];
rgb = uint8(zeros(2, 2, 3));
expectError('segmora:nargin');
expectError('segmora:nargin', labels, rgb, 1);
try
  [a, b] = segmora_graph(labels);
  error('two outputs accepted');
catch failure
  assert(failure.identifier, 'segmora:nargout');
end
expectError('segmora:badType', 'ab');
expectError('segmora:badType', labels + 1i);
expectError('segmora:badType', sparse(labels));
expectError('segmora:badType', {labels});
expectError('segmora:badType', labels, int8(rgb));
expectError('segmora:badShape', ones(2, 2, 2));
expectError('segmora:badShape', labels, rgb(:, :, [1 1 1 1 1]));
expectError('segmora:sizeMismatch', labels, rgb(1, :, :));
expectError('segmora:badPixel', labels, double(rgb) + 2);
expectError('segmora:badLabel', [1 -2]);
expectError('segmora:badLabel', [1 1.5]);
expectError('segmora:badLabel', [1 NaN]);
expectError('segmora:badLabel', [1 2^31]);
expectError('segmora:badLabel', int8([1 -1]));
% The words of segmora's refusals of the same photo and of the same ids as regions.
for bad = {int8(rgb), rgb(:, :, [1 1 1 1 1]), double(rgb) + 2}
  expectSameMessage(@() segmora(bad{1}), @() segmora_graph(labels, bad{1}));
end
for bad = {sparse(labels), labels + 1i}
  expectSameMessage(@() segmora(rgb, bad{1}), @() segmora_graph(bad{1}, rgb), 'regions', 'labels');
end
expectError('segmora:badInput', [1 2^20 + 1]);
expectError('segmora:tooLarge', zeros(2^31, 0));
assert(rows(segmora_graph([1 2^20]).Area), 2^20);
end
