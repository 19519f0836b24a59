# The segmora_graph MEX function (the superpixel graph of a label matrix), built like segmora
# into the same folder, with its tests: every field against plain loops, and the lineprobe
# affinity example of docs/graph.md run as written there.
segmora_add_engine_mex(NAME segmora_graph)

set(graphTestDir ${CMAKE_CURRENT_BINARY_DIR}/graph-test)
segmora_add_octave_test(NAME segmora_graph_octave SCRIPT segmora_graph_test.m
  DIR ${graphTestDir} ARGS "'${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:Segmora>', \
'${PROJECT_SOURCE_DIR}/samples', '${graphTestDir}'")
segmora_add_octave_test(NAME segmora_graph_example SCRIPT graph_example_test.m
  DIR ${graphTestDir} ARGS "'${SEGMORA_OCTAVE_DIR}', '${PROJECT_SOURCE_DIR}/docs/graph.md', \
'${PROJECT_SOURCE_DIR}'")
