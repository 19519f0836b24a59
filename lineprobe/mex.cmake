# The lineprobe MEX function (see cmake/SegmoraMex.cmake) and its Octave test.
segmora_add_mex(NAME lineprobe
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/lineprobe_mex.cpp ${CMAKE_CURRENT_SOURCE_DIR}/line_maximum.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/line_batch.cpp
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/line_maximum.h ${CMAKE_CURRENT_SOURCE_DIR}/line_batch.h
  HELP ${CMAKE_CURRENT_SOURCE_DIR}/lineprobe.m
  INCLUDES ${CMAKE_CURRENT_SOURCE_DIR})

if(SEGMORA_MKOCTFILE AND SEGMORA_BUILD_TESTS AND SEGMORA_OCTAVE_CLI)
  set(octaveTestDir ${CMAKE_CURRENT_BINARY_DIR}/octave-test)
  configure_file(lineprobe_test.m ${octaveTestDir}/lineprobe_test.m COPYONLY)
  add_test(NAME lineprobe_octave
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${octaveTestDir}'); lineprobe_test('${SEGMORA_OCTAVE_DIR}')")
endif()
