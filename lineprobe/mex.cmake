# The lineprobe MEX function (see cmake/SegmoraMex.cmake) and its Octave test.
segmora_add_mex(NAME lineprobe
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/lineprobe_mex.cpp ${CMAKE_CURRENT_SOURCE_DIR}/line_maximum.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/line_batch.cpp
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/line_maximum.h ${CMAKE_CURRENT_SOURCE_DIR}/line_batch.h
  HELP ${CMAKE_CURRENT_SOURCE_DIR}/lineprobe.m
  INCLUDES ${CMAKE_CURRENT_SOURCE_DIR})

segmora_add_octave_test(NAME lineprobe_octave SCRIPT lineprobe_test.m
  DIR ${CMAKE_CURRENT_BINARY_DIR}/octave-test ARGS "'${SEGMORA_OCTAVE_DIR}'")
