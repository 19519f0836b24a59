# The segmora_graph MEX function (the superpixel graph of a label matrix), built like segmora
# into the same folder, with its tests: every field against plain loops, and the lineprobe
# affinity example of docs/graph.md run as written there.
segmora_add_engine_mex(NAME segmora_graph)

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
