function segmora_test(mexDir, program, samplesDir, goldenDir, reference, scratchDir)
% Tests the segmora MEX file in mexDir: the fixed answers of goldenDir, the knobs against
% the reference path's labels (the program `reference`), the image kinds against the
% Segmora program, and malformed calls. The first failure raises an error.
addpath(mexDir);
[~, ~, ext] = fileparts(which('segmora'));
assert(ext, '.mex');
testFixedAnswers(samplesDir, goldenDir);
testKnobsAgainstReference(samplesDir, reference, scratchDir);
testImageKinds(program, samplesDir, scratchDir);
testSmallPhotos();
testMasks(program, samplesDir, scratchDir);
testMalformedCalls();
testHelp(samplesDir);
testCount(program, samplesDir, scratchDir);
testHierarchy(program, samplesDir, scratchDir);
printf('segmora_test: all passed\n');
end

function rgb = readPhoto(path)
quiet = warning('off', 'all');  % the image library's notes on colour profiles
rgb = imread(path);
warning(quiet);
end

% The label file's text: ', ' between labels, a newline after each row, then one more.
function text = labelText(labels)
format = [repmat('%d, ', 1, columns(labels) - 1) '%d\n'];
text = [sprintf(format, labels') "\n"];
end

function testFixedAnswers(samplesDir, goldenDir)
sums = strsplit(strtrim(fileread(fullfile(goldenDir, 'SHA256SUMS'))), "\n");
counts = strsplit(strtrim(fileread(fullfile(goldenDir, 'counts'))), "\n");
photos = dir(fullfile(samplesDir, '*.png'));
assert(numel(photos) >= 5, 'too few samples in %s', samplesDir);
for k = 1:numel(photos)
  [~, name] = fileparts(photos(k).name);
  rgb = readPhoto(fullfile(samplesDir, photos(k).name));
  [labels, count] = segmora(rgb);
  assert(class(labels), 'double');
  expectFixedAnswer(labels, count, [name '.plain'], goldenDir, sums, counts);
  regions = int32(dlmread(fullfile(goldenDir, 'regions', [name '.txt'])));
  [labels, count] = segmora(rgb, regions);
  expectFixedAnswer(labels, count, [name '.regions'], goldenDir, sums, counts);
  [again, againCount] = segmora(rgb, double(regions));
  assert(isequal(again, labels) && againCount == count, 'double regions differ (%s)', name);
end
end

function expectFixedAnswer(labels, count, key, goldenDir, sums, counts)
fixed = double(imread(fullfile(goldenDir, 'labels', [key '.png'])));
assert(isequal(size(labels), size(fixed)), 'labels of %s have the wrong size', key);
[rows, columns] = find(labels' != fixed');  % row by row: the first is the first in raster order
if !isempty(rows)
  y = columns(1);
  x = rows(1);
  error('%d of %d labels of %s differ from the fixed map; the first at row %d, column %d (from 1): %d, not %d', ...
        numel(rows), numel(labels), key, y, x, labels(y, x), fixed(y, x));
end
digest = hash('sha256', labelText(labels));
assert(any(strcmp(sums, [digest '  ' key '.csv'])), 'labels of %s differ from the fixed answer', key);
assert(any(strcmp(counts, sprintf('%s %d', key, count))), 'count %d of %s is not the fixed one', count, key);
assert(max(labels(:)), count);
end

% The reference path's labels and count for a photo file, knobs and region file.
function [labels, count] = referenceLabels(reference, photo, knobs, regionFile)
command = sprintf('"%s" "%s" %.17g %.17g %d %d %s 2>/dev/null', reference, photo, knobs{:}, regionFile);
[status, output] = system(command);
assert(status, 0, output);
last = strfind(output, 'count ');
count = sscanf(output(last(end):end), 'count %d');
rows = strsplit(strtrim(output(1:last(end) - 1)), "\n");
labels = zeros(numel(rows), numel(strfind(rows{1}, ',')) + 1);
for r = 1:numel(rows)
  labels(r, :) = sscanf(rows{r}, '%d,')';
end
end

function testKnobsAgainstReference(samplesDir, reference, scratchDir)
photo = fullfile(samplesDir, 'chelsea.png');
rgb = readPhoto(photo);
[h, w, ~] = size(rgb);
% Blocks of region ids, some negative, one of them the extreme int32 values.
[x, y] = meshgrid(0:w - 1, 0:h - 1);
regions = int32(floor(y / 37) * 11 - floor(x / 53) * 3);
regions(1:20, 1:30) = intmin('int32');
regions(end - 9:end, :) = intmax('int32');
regionFile = fullfile(scratchDir, 'chelsea-regions.txt');
dlmwrite(regionFile, regions, ' ');
% {options, reference knobs {threshold, sigma, cap divisor (0: default), minimum size}, regions}
cases = {
  {'Threshold', 120}, {120, 0, 0, 5}, [];
  {'threshold', 0}, {0, 0, 0, 5}, [];
  {'SIGMA', 0.8}, {500, 0.8, 0, 5}, [];
  {'CapDivisor', 40}, {500, 0, 40, 5}, regions;
  {'MinSize', 30}, {500, 0, 0, 30}, [];
  {'MinSize', 0}, {500, 0, 0, 0}, [];
  {'Threshold', 2000, 'Sigma', 0.5, 'MinSize', 1}, {2000, 0.5, 0, 1}, double(regions);
  {'Threshold', single(300), 'CapDivisor', int32(1000), 'MinSize', uint8(10)}, {300, 0, 1000, 10}, [];
  {'Threshold', 1, 'Threshold', 300}, {300, 0, 0, 5}, [];  % the last value counts
};
for k = 1:rows(cases)
  [options, knobs, ids] = cases{k, :};
  file = '';
  if !isempty(ids)
    file = ['"' regionFile '"'];
  end
  [expected, expectedCount] = referenceLabels(reference, photo, knobs, file);
  [labels, count] = segmora(rgb, ids, options{:});
  assert(count, expectedCount, sprintf('count of case %d', k));
  assert(isequal(labels, expected), 'labels of case %d differ from the reference path', k);
end
% Without regions the options may follow the photo directly.
[labels, count] = segmora(rgb, 'Threshold', 120);
[expected, expectedCount] = referenceLabels(reference, photo, {120, 0, 0, 5}, '');
assert(count == expectedCount && isequal(labels, expected), 'options after rgb differ');
end

% The Segmora program's labels and count for an image file.
function [labels, count] = programLabels(program, photo, scratchDir, options)
if nargin < 4
  options = '';
end
csv = fullfile(scratchDir, 'labels.csv');
[status, output] = system(sprintf('"%s" -i "%s" -o "%s" %s', program, photo, csv, options));
assert(status, 0, output);
count = sscanf(output(strfind(output, 'Super-pixel num:'):end), 'Super-pixel num: %d');
labels = dlmread(csv, ',');
end

% Masks: the program's labels for the same mask (as text and as a picture), logical or
% numbers, with regions too; a mask without pixels gives none.
function testMasks(program, samplesDir, scratchDir)
photo = fullfile(samplesDir, 'chelsea.png');
rgb = readPhoto(photo);
[h, w] = size(rgb(:, :, 1));
[x, y] = meshgrid(1:w, 1:h);
r2 = (x - w / 2) .^ 2 + (y - h / 2) .^ 2;
mask = r2 < (h / 3) ^ 2 & r2 > (h / 10) ^ 2;
mask(6, :) = true;
mask(1:17:end, w - 2) = true;
dlmwrite(fullfile(scratchDir, 'mask.txt'), double(mask), ',');
imwrite(uint8(mask) * 255, fullfile(scratchDir, 'mask.png'));
regions = int32(floor((y - 1) / 37) * 11 - floor((x - 1) / 53) * 3);
dlmwrite(fullfile(scratchDir, 'regions.txt'), regions, ',');
for withRegions = [false true]
  extra = '';
  ids = [];
  if withRegions
    extra = sprintf(' -r "%s"', fullfile(scratchDir, 'regions.txt'));
    ids = regions;
  end
  [labels, count] = segmora(rgb, ids, 'Mask', mask);
  assert(isequal(labels == 0, !mask), 'labels are 0 exactly outside the mask');
  for file = {'mask.txt', 'mask.png'}
    [expected, expectedCount] = programLabels(program, photo, scratchDir, ...
        sprintf('-m "%s"%s', fullfile(scratchDir, file{1}), extra));
    assert(count, expectedCount);
    assert(isequal(labels, expected), 'masked labels differ from the program''s (%s)', file{1});
  end
  [again, againCount] = segmora(rgb, ids, 'mask', double(mask));
  assert(isequal(again, labels) && againCount == count, 'a double mask gives other labels');
end
[labels, count] = segmora(rgb, 'Mask', false(h, w));
assert(count, 0);
assert(!any(labels(:)));
end

function testImageKinds(program, samplesDir, scratchDir)
rgb = readPhoto(fullfile(samplesDir, 'coffee.png'));
rand('seed', 7);
low = uint16(floor(rand(size(rgb)) * 256));
rgb16 = uint16(rgb) * 256 + low;
alpha = uint8(floor(rand(rows(rgb), columns(rgb)) * 256));
grey = uint8(round(double(rgb(:, :, 1)) * 0.299 + double(rgb(:, :, 2)) * 0.587 + double(rgb(:, :, 3)) * 0.114));
flags = grey > 110;
% {name, what is written, arrays that must give the program's labels for that file}
kinds = {
  'rgb', rgb, {single(rgb) / 255, double(rgb) / 255, uint16(rgb) * 257};
  'grey', grey, {grey, double(grey) / 255};
  'grey16', rgb16(:, :, 2), {rgb16(:, :, 2)};
  'rgb16', rgb16, {rgb16};
  'bool', flags, {flags};
};
for k = 1:rows(kinds)
  [name, pixels, arrays] = kinds{k, :};
  file = fullfile(scratchDir, [name '.png']);
  imwrite(pixels, file);
  arrays{end + 1} = imread(file);
  [expected, expectedCount] = programLabels(program, file, scratchDir);
  for a = 1:numel(arrays)
    [labels, count] = segmora(arrays{a});
    assert(count, expectedCount, sprintf('%s, array %d', name, a));
    assert(isequal(labels, expected), 'labels of %s (array %d) differ from the program''s', name, a);
  end
end
% RGBA and grey with alpha: the alpha is dropped.
file = fullfile(scratchDir, 'rgba.png');
imwrite(rgb, file, 'Alpha', alpha);
[expected, expectedCount] = programLabels(program, file, scratchDir);
[labels, count] = segmora(cat(3, rgb, alpha));
assert(count == expectedCount && isequal(labels, expected), 'RGBA labels differ');
file = fullfile(scratchDir, 'grey-alpha.png');
imwrite(grey, file, 'Alpha', alpha);
[expected, expectedCount] = programLabels(program, file, scratchDir);
[labels, count] = segmora(cat(3, grey, alpha));
assert(count == expectedCount && isequal(labels, expected), 'grey and alpha labels differ');
end

function testSmallPhotos()
[labels, count] = segmora(uint8(cat(3, 10, 20, 30)));
assert(labels, 1);
assert(count, 1);
% 20 flat pixels fit in one superpixel (the cap is pixels / 500 + 20).
rgb = repmat(uint8(cat(3, 200, 100, 50)), 4, 5);
assert(segmora(rgb), ones(4, 5));
assert(segmora(rgb, []), ones(4, 5));
% Different region ids keep flat, equal pixels apart, whatever their class.
expected = [ones(2, 5); 2 * ones(2, 5)];
halves = [-7 * ones(2, 5); 9 * ones(2, 5)];
for ids = {int32(halves), halves, single(halves), int8(halves), uint8(halves + 7), ...
           int64(halves), uint64(halves + 7), logical(halves > 0)}
  [labels, count] = segmora(rgb, ids{1});
  assert(count, 2);
  assert(labels, expected);
end
% The minimum size: with MinSize 0 a lone odd pixel keeps its own superpixel.
rgb(2, 3, :) = 0;
[~, count] = segmora(rgb, [], 'CapDivisor', 1, 'MinSize', 0);
assert(count, 2);
[~, count] = segmora(rgb, [], 'CapDivisor', 1);
assert(count, 1);
end

function testMalformedCalls()
rgb = zeros(4, 5, 3, 'uint8');
ids = zeros(4, 5);
% {arguments, outputs, identifier, words of the message}
cases = {
  {}, 1, 'nargin', 'inputs';
  {rgb}, 3, 'nargout', 'outputs';
  {int8(rgb)}, 1, 'badType', 'rgb must be uint8, uint16, logical, single or double, not int8';
  {int32(rgb)}, 1, 'badType', 'not int32';
  {{rgb}}, 1, 'badType', 'not cell';
  {'photo'}, 1, 'badType', 'not char';
  {double(rgb) + 1i}, 1, 'badType', 'not complex double';
  {cat(3, rgb, rgb, rgb(:, :, 1))}, 1, 'badShape', 'rgb must have shape H-by-W or H-by-W-by-C with C from 1 to 4, not 4x5x7';
  {zeros(4, 5, 3, 2, 'uint8')}, 1, 'badShape', 'not 4x5x3x2';
  {zeros(0, 5, 3, 'uint8')}, 1, 'emptyImage', 'rgb must not be empty, its shape is 0x5x3';
  {zeros(4, 0, 3, 'uint8')}, 1, 'emptyImage', 'rgb';
  {[]}, 1, 'emptyImage', 'rgb';
  {double(rgb) + 1.5}, 1, 'badPixel', 'rgb(1, 1, 1) = 1.5 is outside 0..1';
  {setElement(single(ids), 7, -0.5)}, 1, 'badPixel', 'rgb(3, 2) = -0.5 is outside 0..1';
  {setElement(ids, 7, NaN)}, 1, 'badPixel', 'rgb(3, 2) = nan';
  {rgb, sparse(ids)}, 1, 'badType', 'regions must hold integers, logical or whole single/double numbers, not sparse double';
  {rgb, ids + 1i}, 1, 'badType', 'not complex double';
  {rgb, {ids}}, 1, 'badType', 'not cell';
  {rgb, ids'}, 1, 'sizeMismatch', 'regions must have shape 4x5 like rgb, not 5x4';
  {rgb, zeros(4, 5, 2)}, 1, 'badShape', 'not 4x5x2';
  {rgb, zeros(0, 5)}, 1, 'sizeMismatch', 'not 0x5';
  {rgb, setElement(ids, 7, 0.5)}, 1, 'badRegion', 'regions(3, 2) = 0.5 is not a whole number in the int32 range';
  {rgb, setElement(ids, 20, NaN)}, 1, 'badRegion', 'regions(4, 5)';
  {rgb, setElement(ids, 1, Inf)}, 1, 'badRegion', 'regions(1, 1) = inf';
  {rgb, setElement(ids, 2, 2^31)}, 1, 'badRegion', 'regions(2, 1) = 2147483648';
  {rgb, setElement(ids, 2, -2^31 - 1)}, 1, 'badRegion', 'regions(2, 1)';
  {rgb, setElement(int64(ids), 2, -2^31 - 1)}, 1, 'badRegion', 'regions(2, 1) = -2147483649';
  {rgb, setElement(uint32(ids), 4, 2^31)}, 1, 'badRegion', 'regions(4, 1) = 2147483648';
  {rgb, ids, 1}, 1, 'badOption', 'option names must be text, not double (argument 3)';
  {rgb, [], 'Threshold'}, 1, 'badOption', 'option ''Threshold'' has no value';
  {rgb, [], 'Scale', 100}, 1, 'badOption', 'unknown option ''Scale'' (known: Threshold, Sigma, CapDivisor, MinSize, BitDepth, Count)';
  {rgb, 'Thresh', 100}, 1, 'badOption', 'unknown option ''Thresh''';
  {rgb, [], 'Threshold', '300'}, 1, 'badValue', 'Threshold must be a real number, not 1x3 char';
  {rgb, [], 'Sigma', [0.5 1]}, 1, 'badValue', 'Sigma must be a real number, not 1x2 double';
  {rgb, [], 'Sigma', []}, 1, 'badValue', 'not 0x0 double';
  {rgb, [], 'MinSize', true}, 1, 'badValue', 'MinSize must be a real number, not logical';
  {rgb, [], 'Threshold', 1i}, 1, 'badValue', 'not complex double';
  {rgb, [], 'Threshold', -1}, 1, 'badValue', 'Threshold must be a finite number of at least 0, not -1';
  {rgb, [], 'Threshold', Inf}, 1, 'badValue', 'not inf';
  {rgb, [], 'Sigma', 100.5}, 1, 'badValue', 'Sigma must be a number from 0 to 100, not 100.5';
  {rgb, [], 'CapDivisor', 0}, 1, 'badValue', 'CapDivisor must be a whole number of at least 1, not 0';
  {rgb, [], 'CapDivisor', 2.5}, 1, 'badValue', 'not 2.5';
  {rgb, [], 'MinSize', -1}, 1, 'badValue', 'MinSize must be a whole number of at least 0, not -1';
  {rgb, [], 'MinSize', 2^31}, 1, 'badValue', 'not 2147483648';
  {rgb, [], 'Mask', true(5, 4)}, 1, 'sizeMismatch', 'mask must have shape 4x5 like rgb, not 5x4';
  {rgb, [], 'Mask', 2 * ones(4, 5)}, 1, 'badRegion', 'mask(1, 1) = 2 is not 0 or 1';
  {rgb, [], 'Mask', {true}}, 1, 'badType', 'mask must hold integers'};
for k = 1:rows(cases)
  [args, nout, id, words] = cases{k, :};
  try
    if nout == 1
      segmora(args{:});
    else
      [a, b, c] = segmora(args{:});
    end
    error('segmora_test:noError', 'case %d (%s) raised no error', k, id);
  catch err
    assert(err.identifier, ['segmora:' id]);
    assert(!isempty(strfind(err.message, words)), 'message "%s" lacks "%s"', err.message, words);
  end
  [labels, count] = segmora(rgb, [ids(1:2, :) - 2^31; ids(3:4, :)]);  % still alive, still correct
  assert(count, 2);
  assert(labels, [ones(2, 5); 2 * ones(2, 5)]);
end
end

function m = setElement(m, index, value)
m(index) = value;
end

function testHelp(samplesDir)
text = evalc('help segmora');
lines = strsplit(fileread(which('segmora.m')), "\n");
assert(strncmp(lines{2}, '%SEGMORA Superpixels of a colour photo', 38), 'summary line: %s', lines{2});
words = {'raster order', 'int32', 'Example', 'See also', 'LINEPROBE', 'segmora:badRegion', ...
         'Threshold', 'Sigma', 'CapDivisor', 'MinSize', 'segmora:badOption', 'segmora:badValue', ...
         'uint16', 'logical', 'alpha'};
for k = 1:numel(words)
  assert(!isempty(strfind(text, words{k})), 'help text lacks "%s"', words{k});
end
% The defaults the help states are those a call without knobs uses: the same labels, with
% and without regions (where the two cap divisors give different labels on this crop).
said = @(pattern) str2double(regexp(text, pattern, 'tokens', 'once'));
threshold = said('number >= 0 \(default (\d+)\)');
sigma = said('\(default (\d+): none\)');
caps = said('number >= 1 \(default (\d+), or (\d+) with REGIONS\)');
minSize = said('whole number >= 0 \(default (\d+)\)');
assert(numel(caps) == 2 && all(isfinite([threshold; sigma; caps(:); minSize])), 'defaults: %s', text);
rgb = readPhoto(fullfile(samplesDir, 'chelsea.png'))(41:130, 61:180, :);
regions = int32(floor((0:89)' / 30) * 4 + floor((0:119) / 40));
for k = 1:2
  ids = {[], regions}{k};
  stated = segmora(rgb, ids, 'Threshold', threshold, 'Sigma', sigma, 'CapDivisor', caps(k), ...
                   'MinSize', minSize);
  assert(isequal(segmora(rgb, ids), stated), 'the help''s defaults differ (%d)', k);
  assert(!isequal(segmora(rgb, ids, 'CapDivisor', caps(3 - k)), stated), 'caps alike (%d)', k);
end
end

% 'Count' gives the program's --count labels, exactly that many, and refuses what the
% program refuses.
function testCount(program, samplesDir, scratchDir)
photo = fullfile(samplesDir, 'coffee.png');
rgb = readPhoto(photo);
csv = fullfile(scratchDir, 'count.csv');
[status, out] = system(sprintf('"%s" -i "%s" --count 100 -o "%s"', program, photo, csv));
assert(status == 0, out);
[labels, count] = segmora(rgb, 'Count', 100);
assert(count == 100 && max(labels(:)) == 100);
assert(isequal(labels, dlmread(csv)), 'Count 100 differs from the program''s');
for bad = {0, -1, 2.5, 1e9}
  try
    segmora(rgb, 'Count', bad{1});
    error('Count %g accepted', bad{1});
  catch e
    assert(any(strcmp(e.identifier, {'segmora:badValue', 'segmora:badInput'})), e.identifier);
    assert(!isempty(strfind(e.message, 'count')) || !isempty(strfind(e.message, 'Count')), e.message);
  end
end
end

% segmora_hierarchy: several counts from one run against the program's --count files, the
% range, nesting, the tree replayed by hand, masks, and counts out of range.
function testHierarchy(program, samplesDir, scratchDir)
photo = fullfile(samplesDir, 'chelsea.png');
rgb = readPhoto(photo);
[status, out] = system(sprintf('"%s" -i "%s" --count 40,300 --min-size 20 -o "%s"', program, ...
                               photo, fullfile(scratchDir, 'cut.csv')));
assert(status == 0, out);
[labels, range, tree] = segmora_hierarchy(rgb, [], 'Counts', [40 300], 'MinSize', 20);
assert(isequal(size(labels), [rows(rgb) columns(rgb) 2]));
assert(isequal(labels(:, :, 1), dlmread(fullfile(scratchDir, 'cut.40.csv'))), 'count 40 differs');
assert(isequal(labels(:, :, 2), dlmread(fullfile(scratchDir, 'cut.300.csv'))), 'count 300 differs');
[plain, count] = segmora(rgb, 'MinSize', 20);
assert(range(2) == count && range(3) == 1 && range(1) >= 3 * count, mat2str(range));
assert(isequal(segmora_hierarchy(rgb, 'MinSize', 20), plain), 'default cut differs');
% Nested: each superpixel of 300 lies in one of 40.
pairs = unique([reshape(labels(:, :, 2), [], 1) reshape(labels(:, :, 1), [], 1)], 'rows');
assert(rows(pairs) == 300, 'counts 300 and 40 are not nested');
% The first finest - 40 merges of the tree join the finest labels into count 40's parts.
parent = 1:range(1);
for k = 1:range(1) - 40
  a = tree.merges(k, 1); b = tree.merges(k, 2);
  while parent(a) != a, a = parent(a); end
  while parent(b) != b, b = parent(b); end
  parent(max(a, b)) = min(a, b);
end
for k = 1:numel(parent)
  while parent(parent(k)) != parent(k), parent(k) = parent(parent(k)); end
end
joined = parent(tree.finest);
assert(rows(unique([joined(:) reshape(labels(:, :, 1), [], 1)], 'rows')) == 40, 'tree replay');
% A mask: 0 outside at every count, and counts exact inside.
mask = false(size(plain));
mask(20:200, 30:300) = true;
masked = segmora_hierarchy(rgb, [], 'Counts', [5 60], 'Mask', mask);
assert(all(masked(repmat(!mask, [1 1 2])) == 0) && max(max(masked(:, :, 2))) == 60);
for bad = {0, range(1) + 1, [10 -1], 'x'}
  try
    segmora_hierarchy(rgb, 'Counts', bad{1}, 'MinSize', 20);
    error('Counts %s accepted', mat2str(bad{1}));
  catch e
    assert(any(strcmp(e.identifier, {'segmora:badValue', 'segmora:badType', 'segmora:badInput'})), ...
           [e.identifier ': ' e.message]);
    assert(!isempty(strfind(lower(e.message), 'count')), e.message);
  end
end
end
