function segmora_docs_test(mexDir, docs, samplesDir, scratchDir)
% Runs every Octave example of the document `docs`, in order and as written, from a folder
% that holds the samples; the first failure raises an error.
addpath(mexDir);
text = fileread(docs);
[~, blocks] = regexp(text, '```octave\n(.*?)```', 'match', 'tokens');
assert(numel(blocks) >= 6, 'only %d examples in %s', numel(blocks), docs);
folder = fullfile(scratchDir, 'docs-examples');
if exist(folder, 'dir')
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end
mkdir(folder);
[status, output] = system(sprintf('ln -s "%s" "%s"', samplesDir, fullfile(folder, 'samples')));
assert(status, 0, output);
script = fullfile(folder, 'docs_examples.m');
file = fopen(script, 'w');
for k = 1:numel(blocks)
  fputs(file, blocks{k}{1});
end
fclose(file);
here = cd(folder);
quiet = warning('off', 'all');  % the image library's notes on colour profiles
printed = evalc('docs_examples');
warning(quiet);
cd(here);
assert(!isempty(strfind(printed, '802 superpixels, labels 300x451')), 'printed: %s', printed);
assert(!isempty(strfind(printed, 'segmora:badOption')), 'printed: %s', printed);
assert(exist(fullfile(folder, 'chelsea-boundaries.png'), 'file') == 2, 'no picture written');
printf('segmora_docs_test: %d examples passed\n', numel(blocks));
end
