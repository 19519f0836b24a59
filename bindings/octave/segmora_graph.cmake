# The segmora_graph MEX function (the superpixel graph of a label matrix), built like segmora
# into the same folder, with its tests: every field against plain loops, and the lineprobe
# affinity example of docs/graph.md run as written there.
segmora_add_mex(NAME segmora_graph
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/segmora_graph_mex.cpp ${bindingsSources}
  DEPENDS ${bindingsHeaders} ${CMAKE_CURRENT_SOURCE_DIR}/octave_arrays.h
          ${PROJECT_SOURCE_DIR}/include/segmora/segmora.h segmora
  HELP ${CMAKE_CURRENT_SOURCE_DIR}/segmora_graph.m
  INCLUDES ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/bindings
           ${PROJECT_SOURCE_DIR}/engine
  LINK $<TARGET_FILE:segmora> -L$<TARGET_FILE_DIR:opencv_core> -lopencv_imgproc -lopencv_core
  MATLAB_LINK segmora segmora_bindings)

if(SEGMORA_MKOCTFILE AND SEGMORA_BUILD_TESTS AND SEGMORA_OCTAVE_CLI)
  set(graphTestDir ${CMAKE_CURRENT_BINARY_DIR}/graph-test)
  configure_file(segmora_graph_test.m ${graphTestDir}/segmora_graph_test.m COPYONLY)
  configure_file(graph_example_test.m ${graphTestDir}/graph_example_test.m COPYONLY)
  add_test(NAME segmora_graph_octave
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${graphTestDir}'); segmora_graph_test('${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:Segmora>', '${PROJECT_SOURCE_DIR}/samples', '${graphTestDir}')")
  add_test(NAME segmora_graph_example
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${graphTestDir}'); graph_example_test('${SEGMORA_OCTAVE_DIR}', '${PROJECT_SOURCE_DIR}/docs/graph.md', '${PROJECT_SOURCE_DIR}')")
endif()
