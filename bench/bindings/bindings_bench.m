function bindings_bench(mexDir, program, bigPhoto, smallPhotos, scratchDir, repeats, count)
% Times segmora from Octave against the program plus dlmread: one large photo, then
% `count` small photos in this one session. Prints the best of `repeats` runs.
addpath(mexDir);
quiet = warning('off', 'all');
rgb = imread(bigPhoto);
small = cellfun(@imread, smallPhotos, 'UniformOutput', false);
warning(quiet);
csv = fullfile(scratchDir, 'labels.csv');

labels = segmora(rgb);
assert(isequal(labels, programLabels(program, bigPhoto, csv)), 'labels differ');
printf('octave  %-28s %8.3f s\n', sprintf('%d x %d, segmora', columns(rgb), rows(rgb)), ...
       bestOf(repeats, @() segmora(rgb)));
printf('octave  %-28s %8.3f s\n', 'same, program + dlmread', ...
       bestOf(repeats, @() programLabels(program, bigPhoto, csv)));
printf('octave  %-28s %8.3f s\n', sprintf('%d photos, segmora', count), ...
       bestOf(repeats, @() segmentMany(small, count)));
printf('octave  %-28s %8.3f s\n', sprintf('%d photos, program + dlmread', count), ...
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
