function segmora_pictures_test(mexDir, program, samplesDir, scratchDir)
% Tests segmora_boundaries and segmora_mean_picture in mexDir against the pictures the
% Segmora program writes for chelsea.png (-v and --mean-picture), for the default and a
% tuned style, with and without regions; the first failure raises an error.
addpath(mexDir);
photo = fullfile(samplesDir, 'chelsea.png');
rgb = imread(photo);
regions = ones(rows(rgb), columns(rgb));
regions(:, floor(end / 3):end) = 7;
regions(floor(end / 2):end, :) += 1;
dlmwrite(fullfile(scratchDir, 'regions.csv'), regions);
tuned = {'Colour', [255 40 0], 'RegionColour', uint8([0 0 250]), 'Mode', 'thick'};
styles = {{}, ''; tuned, '--boundary-colour 255,40,0 --region-colour 0,0,250 --boundary-mode thick'};
for s = 1:rows(styles)
  for withRegions = [false true]
    options = styles{s, 2};
    args = styles{s, 1};
    if withRegions
      options = [options ' -r "' fullfile(scratchDir, 'regions.csv') '"'];
      args = [args {'Regions', regions}];
    end
    [labels, lines, means] = programPictures(program, photo, scratchDir, options);
    got = segmora_boundaries(rgb, labels, args{:});
    assert(class(got), 'uint8');
    assert(isequal(got, lines), 'segmora_boundaries differs from -v (%s)', options);
    assert(isequal(segmora_mean_picture(labels, rgb), means), 'mean picture differs');
    % Only which pixels share a label matters, and the photo may come as double.
    assert(isequal(segmora_boundaries(double(rgb) / 255, int16(labels) * 3, args{:}), lines));
  end
end
testMalformedCalls(rgb);
testOctaveHabits(rgb, program, scratchDir);
assert(! isempty(strfind(get_help_text('segmora_boundaries'), 'RegionColour')));
assert(! isempty(strfind(get_help_text('segmora_mean_picture'), 'mean colour')));
printf('segmora_pictures_test: all passed\n');
end

function [labels, lines, means] = programPictures(program, photo, scratchDir, options)
labelFile = fullfile(scratchDir, 'labels.csv');
linesFile = fullfile(scratchDir, 'lines.png');
meansFile = fullfile(scratchDir, 'means.png');
[status, output] = system(sprintf('"%s" -i "%s" -o "%s" -v "%s" --mean-picture "%s" %s', ...
                                  program, photo, labelFile, linesFile, meansFile, options));
assert(status, 0, output);
labels = dlmread(labelFile, ',');
lines = imread(linesFile);
means = imread(meansFile);
labels = labels(:, 1:columns(lines));
end

function expectError(id, call)
try
  call();
catch err
  assert(err.identifier, id);
  return;
end
error('no error %s', id);
end

function testMalformedCalls(rgb)
labels = ones(rows(rgb), columns(rgb));
expectError('segmora:nargin', @() segmora_boundaries(rgb));
expectError('segmora:nargin', @() segmora_boundaries(rgb, labels, 'Mode'));
expectError('segmora:badValue', @() segmora_boundaries(rgb, labels, 'Mode', 'inner'));
expectError('segmora:badValue', @() segmora_boundaries(rgb, labels, 'Colour', [0 256 0]));
expectError('segmora:badValue', @() segmora_boundaries(rgb, labels, 'Colour', [0 1.5 0]));
expectError('segmora:badValue', @() segmora_boundaries(rgb, labels, 'Color', [0 -0.5 1]));
expectError('segmora:badValue', @() segmora_boundaries(rgb, labels, 'RegionColour', [1 2]));
expectError('segmora:badOption', @() segmora_boundaries(rgb, labels, 'Width', 2));
expectError('segmora:sizeMismatch', @() segmora_boundaries(rgb, labels(2:end, :)));
expectError('segmora:sizeMismatch', ...
            @() segmora_boundaries(rgb, labels, 'Regions', labels(:, 2:end)));
expectError('segmora:nargin', @() segmora_mean_picture(labels));
expectError('segmora:sizeMismatch', @() segmora_mean_picture(labels(2:end, :), rgb));
end

% What Octave users write: colours as fractions under 'Color', swapped arguments refused
% with one id by every function, 12-bit data in uint16 with 'BitDepth', and help pages that
% name each other.
function testOctaveHabits(rgb, program, scratchDir)
labels = segmora(rgb);
red = segmora_boundaries(rgb, labels, 'Colour', [255 0 0]);
assert(isequal(segmora_boundaries(rgb, labels, 'Color', [1 0 0]), red), 'fractions');
assert(isequal(segmora_boundaries(rgb, labels, 'Color', single([1 0 0])), red), 'single');
assert(isequal(segmora_boundaries(rgb, labels, 'colour', uint8([255 0 0])), red), 'uint8');
% Integers are never fractions, nor doubles above 1: uint8 [1 0 0] is nearly black.
assert(!isequal(segmora_boundaries(rgb, labels, 'Colour', uint8([1 0 0])), red), 'uint8 1');
assert(isequal(segmora_boundaries(rgb, labels, 'Colour', [2 0 0]), ...
               segmora_boundaries(rgb, labels, 'Colour', uint8([2 0 0]))), 'existing scripts');
half = segmora_boundaries(rgb, labels, 'RegionColor', [0.5 0 1], 'Regions', labels > 400);
assert(isequal(half, segmora_boundaries(rgb, labels, 'RegionColour', [128 0 255], ...
                                        'Regions', labels > 400)), 'halves round up');
swapped = {@() segmora_graph(rgb, labels), @() segmora_boundaries(labels, rgb), ...
           @() segmora_mean_picture(rgb, labels), @() segmora_evaluate(rgb, labels), ...
           @() segmora(rgb, rgb)};
for k = 1:numel(swapped)
  expectError('segmora:badShape', swapped{k});
end
% 12-bit data: the programs' --bit-depth 12 and 'BitDepth', 12 give the photo's labels.
deep = uint16(rgb) * 16 + uint16(mod(reshape(1:numel(rgb), size(rgb)), 16));
imwrite(deep, fullfile(scratchDir, 'deep.png'));
[status, output] = system(sprintf('"%s" -i "%s" -o "%s" --bit-depth 12', program, ...
                                  fullfile(scratchDir, 'deep.png'), fullfile(scratchDir, 'deep.csv')));
assert(status, 0, output);
expected = dlmread(fullfile(scratchDir, 'deep.csv'), ',');
assert(isequal(segmora(deep, 'BitDepth', 12), expected(:, 1:columns(rgb))), 'BitDepth 12');
assert(isequal(segmora(deep, 'BitDepth', 12), labels), 'all levels kept');
assert(!isequal(segmora(deep), labels), 'the high byte keeps 16 levels');
expectError('segmora:badValue', @() segmora(deep, 'BitDepth', 17));
names = {'segmora', 'segmora_boundaries', 'segmora_mean_picture', 'segmora_graph', ...
         'segmora_evaluate', 'lineprobe'};
for k = 1:numel(names)
  text = get_help_text(names{k});
  for other = setdiff(names, names(k))
    assert(!isempty(strfind(text, upper(other{1}))), '%s lacks %s', names{k}, other{1});
  end
end
end
