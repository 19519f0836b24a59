# The segmora_evaluate MEX function (superpixel measures against ground truth), built like
# segmora from the shared argument code into the same folder, with its test: the library's
# measures on a sample photo to the last bit, hand-made maps, and the Octave example of
# docs/evaluation.md run as written there.
segmora_add_engine_mex(NAME segmora_evaluate)

if(SEGMORA_MKOCTFILE AND SEGMORA_BUILD_TESTS AND SEGMORA_OCTAVE_CLI)
  set(evaluateTestDir ${CMAKE_CURRENT_BINARY_DIR}/evaluate-test)
  configure_file(segmora_evaluate_test.m ${evaluateTestDir}/segmora_evaluate_test.m COPYONLY)
  add_test(NAME segmora_evaluate_octave
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${evaluateTestDir}'); segmora_evaluate_test('${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:evaluation_reference>', '${PROJECT_SOURCE_DIR}', '${evaluateTestDir}')")
endif()
