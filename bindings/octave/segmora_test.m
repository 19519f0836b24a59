function segmora_test(mexDir, program, samplesDir, scratchDir)
% Tests the segmora MEX file in mexDir against the Segmora program; the first failure
% raises an error.
addpath(mexDir);
[~, ~, ext] = fileparts(which('segmora'));
assert(ext, '.mex');
testAgainstProgram(program, samplesDir, scratchDir);
testSmallPhotos();
testMalformedCalls();
testHelp();
printf('segmora_test: all passed\n');
end

function testAgainstProgram(program, samplesDir, scratchDir)
for name = {'astronaut', 'chelsea', 'coffee'}
  photo = fullfile(samplesDir, [name{1} '.png']);
  quiet = warning('off', 'all');  % the image library's notes on colour profiles
  rgb = imread(photo);
  warning(quiet);
  [labels, count] = segmora(rgb);
  assert(class(labels), 'double');
  expectProgramLabels(program, photo, '', labels, count, scratchDir);

  % Blocks of region ids, some negative, one of them the extreme int32 values.
  [h, w] = size(labels);
  [x, y] = meshgrid(0:w - 1, 0:h - 1);
  regions = int32(floor(y / 37) * 11 - floor(x / 53) * 3);
  regions(1:20, 1:30) = intmin('int32');
  regions(end - 9:end, :) = intmax('int32');
  regionFile = fullfile(scratchDir, [name{1} '-regions.txt']);
  dlmwrite(regionFile, regions, ' ');
  [labels, count] = segmora(rgb, regions);
  expectProgramLabels(program, photo, regionFile, labels, count, scratchDir);
  [again, againCount] = segmora(rgb, double(regions));
  assert(isequal(again, labels) && againCount == count, 'double regions differ (%s)', name{1});
end
end

% Runs the program on the photo and compares its label file and count with ours.
function expectProgramLabels(program, photo, regionFile, labels, count, scratchDir)
csv = fullfile(scratchDir, 'labels.csv');
command = sprintf('"%s" -i "%s" -o "%s" -r "%s"', program, photo, csv, regionFile);
[status, output] = system(command);
assert(status, 0, output);
printed = sscanf(output(strfind(output, 'Super-pixel num:'):end), 'Super-pixel num: %d');
expected = dlmread(csv, ',');
assert(isequal(size(labels), size(expected)), 'size differs for %s', photo);
assert(isequal(labels, expected), 'labels differ for %s (regions "%s")', photo, regionFile);
assert(count, printed);
assert(max(labels(:)), count);
end

function testSmallPhotos()
[labels, count] = segmora(uint8(cat(3, 10, 20, 30)));
assert(labels, 1);
assert(count, 1);
% 20 flat pixels fit in one superpixel (the cap is pixels / 500 + 20).
rgb = repmat(uint8(cat(3, 200, 100, 50)), 4, 5);
assert(segmora(rgb), ones(4, 5));
% Different region ids keep flat, equal pixels apart.
regions = int32([-7 * ones(2, 5); 9 * ones(2, 5)]);
[labels, count] = segmora(rgb, regions);
assert(count, 2);
assert(labels, [ones(2, 5); 2 * ones(2, 5)]);
end

function testMalformedCalls()
rgb = zeros(4, 5, 3, 'uint8');
ids = zeros(4, 5);
% {arguments, outputs, identifier, argument named in the message}
cases = {
  {}, 1, 'nargin', 'inputs';
  {rgb, ids, 1}, 1, 'nargin', 'inputs';
  {rgb}, 3, 'nargout', 'outputs';
  {double(rgb)}, 1, 'badType', 'rgb';
  {logical(rgb)}, 1, 'badType', 'rgb';
  {int8(rgb)}, 1, 'badType', 'rgb';
  {{rgb}}, 1, 'badType', 'rgb';
  {rgb(:, :, 1)}, 1, 'badShape', 'rgb';
  {cat(3, rgb, rgb(:, :, 1))}, 1, 'badShape', 'rgb';
  {zeros(4, 5, 3, 2, 'uint8')}, 1, 'badShape', 'rgb';
  {zeros(0, 5, 3, 'uint8')}, 1, 'emptyImage', 'rgb';
  {zeros(4, 0, 3, 'uint8')}, 1, 'emptyImage', 'rgb';
  {rgb, single(ids)}, 1, 'badType', 'regions';
  {rgb, uint8(ids)}, 1, 'badType', 'regions';
  {rgb, sparse(ids)}, 1, 'badType', 'regions';
  {rgb, ids + 1i}, 1, 'badType', 'regions';
  {rgb, {ids}}, 1, 'badType', 'regions';
  {rgb, ids'}, 1, 'sizeMismatch', 'regions';
  {rgb, []}, 1, 'sizeMismatch', 'regions';
  {rgb, zeros(4, 5, 2)}, 1, 'sizeMismatch', 'regions';
  {rgb, setElement(ids, 7, 0.5)}, 1, 'badRegion', 'regions(3, 2) = 0.5';
  {rgb, setElement(ids, 20, NaN)}, 1, 'badRegion', 'regions(4, 5)';
  {rgb, setElement(ids, 1, Inf)}, 1, 'badRegion', 'regions(1, 1)';
  {rgb, setElement(ids, 2, 2^31)}, 1, 'badRegion', 'regions(2, 1)';
  {rgb, setElement(ids, 2, -2^31 - 1)}, 1, 'badRegion', 'regions(2, 1)'};
for k = 1:rows(cases)
  [args, nout, id, name] = cases{k, :};
  try
    if nout == 1
      segmora(args{:});
    else
      [a, b, c] = segmora(args{:});
    end
    error('segmora_test:noError', 'case %d (%s) raised no error', k, id);
  catch err
    assert(err.identifier, ['segmora:' id]);
    assert(!isempty(strfind(err.message, name)), 'message "%s" does not name %s', err.message, name);
  end
  [labels, count] = segmora(rgb, [ids(1:2, :) - 2^31; ids(3:4, :)]);  % still alive, still correct
  assert(count, 2);
  assert(labels, [ones(2, 5); 2 * ones(2, 5)]);
end
end

function m = setElement(m, index, value)
m(index) = value;
end

function testHelp()
text = evalc('help segmora');
lines = strsplit(fileread(which('segmora.m')), "\n");
assert(strncmp(lines{2}, '%SEGMORA Superpixels of a colour photo', 38), 'summary line: %s', lines{2});
words = {'raster order', 'int32', 'Example', 'See also', 'lineprobe', 'segmora:badRegion'};
for k = 1:numel(words)
  assert(!isempty(strfind(text, words{k})), 'help text lacks "%s"', words{k});
end
end
