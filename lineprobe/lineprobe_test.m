function lineprobe_test(mexDir)
% Tests the lineprobe MEX file in mexDir; the first failure raises an error.
addpath(mexDir);
[~, ~, ext] = fileparts(which('lineprobe'));
assert(ext, '.mex');
testExamples();
testShapes();
testMalformedCalls();
testHelp();
testAgainstReference();
testLargeCallAgainstSinglePairs();
printf('lineprobe_test: all passed\n');
end

function testExamples()
V = [1 2 3; 4 5 6; 7 8 9];
% {indicesA, indicesB, expected}; the sentinel is the same for the negated matrix.
cases = {0, 8, 5; 8, 0, 5; 0, 6, 2; 0, 2, 4; 4, 4, -1e7; 7.9, 0, 2; -0.5, 8, 5; ...
         [0 0], [8 6], [5; 2]; [0; 0; 4], [8 6 4], [5; 2; -1e7]; [0 0; 4 8], [8 4 6 0], [5; -1e7; 2; 5]};
for k = 1:rows(cases)
  [a, b, expected] = cases{k, :};
  assert(lineprobe(V, a, b), expected);
  assert(lineprobe(-V, a, b), expected);
end
end

function testShapes()
V = magic(4);
r = lineprobe(V, zeros(1, 0), zeros(1, 0));
assert(class(r), 'double');
assert(size(r), [0 1]);
assert(size(lineprobe(V, [], 5)), [0 1]);
assert(lineprobe(V, 0, [15 99]), 16);  % only the first numel(indicesA) of indicesB count
% 2^24 columns is the largest width whose coordinates stay exact in single precision.
wide = zeros(1, 2^24);
wide(end - 1) = -3;
assert(lineprobe(wide, 2^24 - 1, 0), 3);
end

function testMalformedCalls()
V = [1 2 3; 4 5 6; 7 8 9];
% {arguments, outputs, identifier, argument named in the message}
cases = {
  {V, 0}, 1, 'nargin', 'inputs';
  {V, 0, 8, 1}, 1, 'nargin', 'inputs';
  {V, 0, 8}, 2, 'nargout', 'output';
  {single(V), 0, 8}, 1, 'badType', 'values';
  {V + 1i, 0, 8}, 1, 'badType', 'values';
  {sparse(V), 0, 8}, 1, 'badType', 'values';
  {V, int32(0), 8}, 1, 'badType', 'indicesA';
  {V, 0, true}, 1, 'badType', 'indicesB';
  {V, {0}, 8}, 1, 'badType', 'indicesA';
  {zeros(0, 3), 0, 0}, 1, 'emptyValues', 'values';
  {zeros(1, 2^24 + 1), 0, 1}, 1, 'tooLarge', 'values';
  {V, [0 1], 8}, 1, 'shortIndices', 'indicesB';
  {V, -1, 8}, 1, 'badIndex', 'indicesA';
  {V, 9, 0}, 1, 'badIndex', 'indicesA';
  {V, 0, 9.5}, 1, 'badIndex', 'indicesB';
  {V, [0 NaN], [1 2]}, 1, 'badIndex', 'indicesA(2)';
  {V, 0, Inf}, 1, 'badIndex', 'indicesB';
  {V, -Inf, 0}, 1, 'badIndex', 'indicesA'};
for k = 1:rows(cases)
  [args, nout, id, name] = cases{k, :};
  try
    if nout == 1
      lineprobe(args{:});
    else
      [x, y] = lineprobe(args{:});
    end
    error('lineprobe_test:noError', 'case %d (%s) raised no error', k, id);
  catch err
    assert(err.identifier, ['lineprobe:' id]);
    assert(!isempty(strfind(err.message, name)), 'message "%s" does not name %s', err.message, name);
  end
  assert(lineprobe(V, 0, 8), 5);  % still alive, still correct
end
end

function testHelp()
text = evalc('help lineprobe');
words = {'zero-based', 'column-major', 'K-by-1', '-10,000,000', 'lineprobe:badIndex'};
for k = 1:numel(words)
  assert(!isempty(strfind(text, words{k})), 'help text lacks "%s"', words{k});
end
end

function testAgainstReference()
rand('state', 7);
randn('state', 7);
for trial = 1:300
  V = randomMatrix(randi(12), randi(12));
  K = randi([0 20]);
  ia = randi(numel(V), 1, K) - 1 + 0.99 * rand(1, K);
  ib = randi(numel(V), K, 1) - 1;
  expected = zeros(K, 1);
  for k = 1:K
    expected(k) = walkReference(V, ia(k), ib(k));
  end
  assert(isequaln(lineprobe(V, ia, ib), expected), 'trial %d differs', trial);
end
end

% A call long enough to be walked on two threads gives what each pair gives alone.
function testLargeCallAgainstSinglePairs()
rand('state', 8);
randn('state', 8);
V = randomMatrix(700, 800);
K = 3000;  % about 900,000 pixels in all
ia = randi(numel(V), 1, K) - 1;
ib = randi(numel(V), 1, K) - 1;
ia(1:2:end) = mod(ia(1:2:end), 700);            % every second line from the first column
ib(2:4:end) = ib(2:4:end) - mod(ib(2:4:end), 700);  % and some to the first row
alone = zeros(K, 1);
for k = 1:K
  alone(k) = lineprobe(V, ia(k), ib(k));
end
assert(isequaln(lineprobe(V, ia, ib), alone), 'a large call differs from its pairs alone');
end

function V = randomMatrix(m, n)
V = randn(m, n) .* 10 .^ randi([-3 3], m, n);
special = [NaN, Inf, -Inf, 0.1, 1 + 1e-12, 1e300, 0];
pick = rand(m, n) < 0.1;
V(pick) = special(randi(numel(special), nnz(pick), 1));
end

% The walk written out in single precision, one pixel at a time.
function best = walkReference(V, ia, ib)
M = rows(V);
a = single([floor(fix(ia) / M), mod(fix(ia), M)]);  % (column, row)
b = single([floor(fix(ib) / M), mod(fix(ib), M)]);
steep = abs(b(2) - a(2)) > abs(b(1) - a(1));
if steep
  a = a([2 1]);
  b = b([2 1]);
end
if a(1) > b(1)
  [a, b] = deal(b, a);
end
majorExtent = b(1) - a(1);
minorExtent = abs(b(2) - a(2));
step = 2 * (b(2) > a(2)) - 1;
err = majorExtent * single(0.5);
m = double(a(2));
best = -1e7;
for i = double(a(1)):double(b(1)) - 1
  if steep
    s = double(abs(single(V(i + 1, m + 1))));
  else
    s = double(abs(single(V(m + 1, i + 1))));
  end
  if !(best > s)
    best = s;
  end
  err = err - minorExtent;
  if err < 0
    m = m + step;
    err = err + majorExtent;
  end
end
end
