function segmora_evaluate_test(mexDir, reference, projectDir, scratch)
  % segmora_evaluate: the library's measures to the last bit on a sample photo, hand-made
  % maps, label classes, the refusals, and the example of docs/evaluation.md as written.
  addpath(mexDir);
  samples = fullfile(projectDir, 'samples');
  regionsDir = fullfile(projectDir, 'tests', 'golden', 'regions');
  photo = fullfile(samples, 'chelsea.png');
  rgb = imread(photo);
  labels = segmora(rgb);
  regionsFile = fullfile(regionsDir, 'chelsea.txt');
  regions = dlmread(regionsFile);
  coarse = segmora(rgb, 'Threshold', 3000, 'CapDivisor', 50) - 1;
  coarseFile = fullfile(scratch, 'coarse.txt');
  dlmwrite(coarseFile, coarse, ' ');
  cases = {2, false; 0, true; 5, false};
  for k = 1:rows(cases)
    [status, out] = system(sprintf('"%s" "%s" %d %d "%s" "%s"', reference, photo, cases{k, 1}, ...
                                   cases{k, 2}, regionsFile, coarseFile));
    assert(status == 0, out);
    s = segmora_evaluate(labels, {int32(regions), coarse}, rgb, 'Tolerance', cases{k, 1}, ...
                         'IgnoreZero', cases{k, 2});
    lines = strsplit(strtrim(out), "\n");
    names = fieldnames(s);
    assert(numel(lines) == numel(names));
    for f = 1:numel(names)
      parts = strsplit(lines{f}, ' ');
      assert(s.(names{f}) == str2double(parts{2}), '%s: %.17g, library %s', names{f}, ...
             s.(names{f}), parts{2});
    end
  end

  % Hand-made: 5-by-8, truth boundary at columns 4|5, superpixels split at 6|7.
  truth = [ones(5, 4), 2 * ones(5, 4)];
  split = [ones(5, 6), 2 * ones(5, 2)];
  s = segmora_evaluate(uint8(split), truth, [], 'tolerance', 1);
  assert([s.BoundaryRecall, s.BoundaryPrecision, s.UndersegmentationError, ...
          s.AchievableSegmentationAccuracy, s.Count, s.Truths], [0.5, 0.5, 0.5, 0.75, 2, 1]);
  assert(isnan(s.ExplainedVariation));
  s = segmora_evaluate(int64(split), {truth, ones(5, 8)}, 'Tolerance', 2);
  assert([s.BoundaryRecall, s.BoundaryPrecision, s.Truths], [1, 0.5, 2]);

  refusals = {@() segmora_evaluate(split, truth(:, 2:end)), 'segmora:sizeMismatch';
              @() segmora_evaluate(split, {truth, {}}), 'segmora:badType';
              @() segmora_evaluate(split, truth, [], 'Tolerance', -1), 'segmora:badValue';
              @() segmora_evaluate(split, truth, [], 'Radius', 1), 'segmora:badOption';
              @() segmora_evaluate(split, truth, [], 'IgnoreZero', 'yes'), 'segmora:badValue';
              @() segmora_evaluate(split, truth, zeros(4, 8, 3, 'uint8')), 'segmora:sizeMismatch';
              @() segmora_evaluate(split + 0.5, truth), 'segmora:badRegion';
              @() segmora_evaluate(split), 'segmora:nargin'};
  for k = 1:rows(refusals)
    try
      refusals{k, 1}();
      error('no error for refusal %d', k);
    catch err
      assert(strcmp(err.identifier, refusals{k, 2}), 'refusal %d: %s (%s)', k, ...
             err.identifier, err.message);
    end
  end
  try
    segmora_evaluate(split, truth, [], 'IgnoreZero', 'yes');
    error('IgnoreZero ''yes'' taken');
  catch err
    assert(~isempty(strfind(err.message, ...
           'IgnoreZero must be true or false (a logical or numeric scalar), not char')), ...
           err.message);
  end

  % The Octave example of docs/evaluation.md, from the project folder, prints what it says.
  text = fileread(fullfile(projectDir, 'docs', 'evaluation.md'));
  blocks = regexp(text, '```octave\n(.*?)```', 'tokens');
  assert(numel(blocks) == 1, 'one octave example expected in docs/evaluation.md');
  here = pwd();
  cd(projectDir);
  quiet = warning('off', 'all');  % the image library's notes on colour profiles
  printed = evalc(blocks{1}{1});
  warning(quiet);
  cd(here);
  assert(strcmp(printed, sprintf('1264 superpixels: recall 0.9283, undersegmentation error 0.0681\n')), ...
         'the docs example printed: %s', printed);
  printf('segmora_evaluate_test: passed\n');
end
