# The segmora_evaluate MEX function (superpixel measures against ground truth), built like
# segmora from the shared argument code into the same folder, with its test: the library's
# measures on a sample photo to the last bit, hand-made maps, and the Octave example of
# docs/evaluation.md run as written there.
segmora_add_mex(NAME segmora_evaluate
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/segmora_evaluate_mex.cpp ${bindingsSources}
  DEPENDS ${bindingsHeaders} ${CMAKE_CURRENT_SOURCE_DIR}/octave_arrays.h
          ${PROJECT_SOURCE_DIR}/include/segmora/segmora.h segmora
  HELP ${CMAKE_CURRENT_SOURCE_DIR}/segmora_evaluate.m
  INCLUDES ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/bindings
           ${PROJECT_SOURCE_DIR}/engine
  LINK $<TARGET_FILE:segmora> -L$<TARGET_FILE_DIR:opencv_core> -lopencv_imgproc -lopencv_core
  MATLAB_LINK segmora segmora_bindings)

if(SEGMORA_MKOCTFILE AND SEGMORA_BUILD_TESTS AND SEGMORA_OCTAVE_CLI)
  set(evaluateTestDir ${CMAKE_CURRENT_BINARY_DIR}/evaluate-test)
  configure_file(segmora_evaluate_test.m ${evaluateTestDir}/segmora_evaluate_test.m COPYONLY)
  add_test(NAME segmora_evaluate_octave
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${evaluateTestDir}'); segmora_evaluate_test('${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:evaluation_reference>', '${PROJECT_SOURCE_DIR}', '${evaluateTestDir}')")
endif()
