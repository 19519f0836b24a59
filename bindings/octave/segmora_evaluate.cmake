# The segmora_evaluate MEX function (superpixel measures against ground truth), built like
# segmora from the shared argument code into the same folder, with its test: the library's
# measures on a sample photo to the last bit, hand-made maps, and the Octave example of
# docs/evaluation.md run as written there.
segmora_add_engine_mex(NAME segmora_evaluate)

set(evaluateTestDir ${CMAKE_CURRENT_BINARY_DIR}/evaluate-test)
segmora_add_octave_test(NAME segmora_evaluate_octave SCRIPT segmora_evaluate_test.m
  DIR ${evaluateTestDir} ARGS "'${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:evaluation_reference>', \
'${PROJECT_SOURCE_DIR}', '${evaluateTestDir}'")
