function graph_example_test(mexDir, docPath, projectDir)
% Runs the Octave example of docs/graph.md as written there (from the project folder, so
% its sample path resolves), then checks what it computed.
addpath(mexDir);
text = fileread(docPath);
blocks = regexp(text, '```octave\n(.*?)```', 'tokens');
assert(numel(blocks) >= 1, 'no octave example in %s', docPath);
here = pwd();
cd(projectDir);
quiet = warning('off', 'all');  % the image library's notes on colour profiles
eval(blocks{1}{1});
warning(quiet);
cd(here);

n = numel(g.Area);
assert(size(affinity), [n n]);
assert(issparse(affinity) && isequal(affinity, affinity'));
assert(nnz(affinity), 2 * rows(g.Edges));
assert(all(nonzeros(affinity) > 0 & nonzeros(affinity) <= 1));
% Every edge's cue is lineprobe between the rounded centroids, taken one pair at a time.
for e = round(linspace(1, rows(g.Edges), 25))
  ends = round(g.Centroid(g.Edges(e, :), :));
  from = (ends(1, 1) - 1) * rows(labels) + ends(1, 2) - 1;
  to = (ends(2, 1) - 1) * rows(labels) + ends(2, 2) - 1;
  assert(strongest(e), max(0, lineprobe(strength, from, to)));
end
% Neighbours with no boundary between them are closer than those across a strong one.
[~, weakest] = min(strongest);
[~, hardest] = max(strongest);
assert(affinity(g.Edges(weakest, 1), g.Edges(weakest, 2)) >
       affinity(g.Edges(hardest, 1), g.Edges(hardest, 2)));
printf('graph_example_test: the example of %s ran and passed\n', docPath);
end
