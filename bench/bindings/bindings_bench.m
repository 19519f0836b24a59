function bindings_bench(mexDir, program, bigPhoto, smallDir, scratchDir, repeats, count, dumpFile)
% Times segmora from Octave against the program plus dlmread: one large photo, then `count`
% photos from smallDir/photo-*.png in this one session. Prints the best of `repeats` runs. With
% dumpFile, every label matrix (int32, the large photo's first) goes to that one file so that
% two builds can be compared byte for byte.
addpath(mexDir);
listing = dir(fullfile(smallDir, 'photo-*.png'));
smallPhotos = fullfile(smallDir, sort({listing.name}));
quiet = warning('off', 'all');
rgb = imread(bigPhoto);
small = cellfun(@imread, smallPhotos, 'UniformOutput', false);
warning(quiet);
csv = fullfile(scratchDir, 'labels.csv');

labels = segmora(rgb);
assert(isequal(labels, programLabels(program, bigPhoto, csv)), 'labels differ');
if nargin > 7
  dumpLabels(dumpFile, [{rgb}, small]);
end
report = @(what, seconds) printf('octave  %-34s %8.3f s\n', what, seconds);
report(sprintf('%d x %d, segmora', columns(rgb), rows(rgb)), bestOf(repeats, @() segmora(rgb)));
report('same, program + dlmread', bestOf(repeats, @() programLabels(program, bigPhoto, csv)));
report(sprintf('%d photos, segmora', count), bestOf(repeats, @() segmentMany(small, count)));
report(sprintf('%d photos, program + dlmread', count), ...
       bestOf(repeats, @() programMany(program, smallPhotos, csv, count)));
end

function best = bestOf(repeats, run)
best = Inf;
for k = 1:repeats
  start = tic;
  run();
  best = min(best, toc(start));
end
end

function dumpLabels(file, photos)
fid = fopen(file, 'w');
for k = 1:numel(photos)
  fwrite(fid, segmora(photos{k}), 'int32');
end
fclose(fid);
end

function labels = programLabels(program, photo, csv)
[status, output] = system(sprintf('"%s" -i "%s" -o "%s"', program, photo, csv));
assert(status, 0, output);
labels = dlmread(csv, ',');
end

function segmentMany(photos, count)
for k = 1:count
  segmora(photos{mod(k - 1, numel(photos)) + 1});
end
end

function programMany(program, photos, csv, count)
for k = 1:count
  programLabels(program, photos{mod(k - 1, numel(photos)) + 1}, csv);
end
end
