function lineprobe_bench(mexDir)
% Visited pixels per second of the lineprobe MEX file in mexDir on long lines through a
% 4000 x 4000 matrix, in batches of 1000 pairs per call and one pair per call.
addpath(mexDir);
side = 4000;
rand('state', 1);
values = randn(side);
poolSize = 10000;
[a, b, visited] = randomLines(side, poolSize);
for batch = [1000 1]
  calls = 0;
  pixels = 0;
  start = tic;
  startCpu = cputime();
  while toc(start) < 2
    first = mod(calls * batch, poolSize) + 1;
    pairs = first:first + batch - 1;
    lineprobe(values, a(pairs), b(pairs));
    pixels = pixels + sum(visited(pairs));
    calls = calls + 1;
  end
  printf(['lineprobe (Octave MEX), %4d pairs per call: %.3g pixels/s, %.3g per second of ' ...
          'processor time (all threads) over %d calls\n'], ...
         batch, pixels / toc(start), pixels / (cputime() - startCpu), calls);
end
end

% Lines from one border to the opposite one, horizontal or vertical in equal shares.
function [a, b, visited] = randomLines(side, count)
across = randi(side, 1, count) - 1;
shift = randi(side, 1, count) - 1;
horizontal = rand(1, count) < 0.5;
colA = zeros(1, count);
rowA = across;
colB = repmat(side - 1, 1, count);
rowB = shift;
colA(!horizontal) = across(!horizontal);
rowA(!horizontal) = 0;
colB(!horizontal) = shift(!horizontal);
rowB(!horizontal) = side - 1;
a = colA * side + rowA;
b = colB * side + rowB;
visited = max(abs(colB - colA), abs(rowB - rowA));
end
