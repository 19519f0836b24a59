# The picture MEX functions segmora_boundaries (the programs' -v picture) and
# segmora_mean_picture (their --mean-picture), built like segmora into the same folder; the
# boundary drawing comes from the programs' boundary_drawing, compiled in.
set(drawingSources ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.cpp)
foreach(picture boundaries mean_picture)
  segmora_add_engine_mex(NAME segmora_${picture} SOURCES ${drawingSources}
    DEPENDS ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.h
    INCLUDES ${PROJECT_SOURCE_DIR}/file_formats)
endforeach()

if(SEGMORA_MKOCTFILE AND SEGMORA_BUILD_TESTS AND SEGMORA_OCTAVE_CLI)
  set(pictureTestDir ${CMAKE_CURRENT_BINARY_DIR}/picture-test)
  configure_file(segmora_pictures_test.m ${pictureTestDir}/segmora_pictures_test.m COPYONLY)
  add_test(NAME segmora_pictures_octave
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${pictureTestDir}'); segmora_pictures_test('${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:Segmora>', '${PROJECT_SOURCE_DIR}/samples', '${pictureTestDir}')")
endif()
