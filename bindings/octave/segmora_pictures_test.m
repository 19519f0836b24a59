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
expectError('segmora:badValue', @() segmora_boundaries(rgb, labels, 'Colour', [0 0.5 0]));
expectError('segmora:badValue', @() segmora_boundaries(rgb, labels, 'RegionColour', [1 2]));
expectError('segmora:badOption', @() segmora_boundaries(rgb, labels, 'Width', 2));
expectError('segmora:sizeMismatch', @() segmora_boundaries(rgb, labels(2:end, :)));
expectError('segmora:sizeMismatch', ...
            @() segmora_boundaries(rgb, labels, 'Regions', labels(:, 2:end)));
expectError('segmora:nargin', @() segmora_mean_picture(labels));
expectError('segmora:sizeMismatch', @() segmora_mean_picture(labels(2:end, :), rgb));
end
