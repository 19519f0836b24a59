function segmora_memory_test(mexDir)
% Run with too little address space for the photo (ulimit -v): the call must fail with
% segmora:outOfMemory, and the function must keep working for a small photo afterwards.
addpath(mexDir);
try
  segmora(zeros(4000, 4000, 3, 'uint8'));
  error('segmora_memory_test:noError', 'a 16-MP photo was segmented within the limit');
catch err
  assert(err.identifier, 'segmora:outOfMemory');
  assert(!isempty(strfind(err.message, 'rgb')), 'message "%s" does not name rgb', err.message);
end
[labels, count] = segmora(repmat(uint8(cat(3, 1, 2, 3)), 4, 5));
assert(count, 1);
assert(labels, ones(4, 5));
printf('segmora_memory_test: passed\n');
end
