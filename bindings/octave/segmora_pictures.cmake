# The picture MEX functions segmora_boundaries (the programs' -v picture) and
# segmora_mean_picture (their --mean-picture), built like segmora into the same folder; the
# boundary drawing comes from the programs' boundary_drawing, compiled in.
set(drawingSources ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.cpp)
foreach(picture boundaries mean_picture)
  segmora_add_engine_mex(NAME segmora_${picture} SOURCES ${drawingSources}
    DEPENDS ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.h
    INCLUDES ${PROJECT_SOURCE_DIR}/file_formats)
endforeach()

set(pictureTestDir ${CMAKE_CURRENT_BINARY_DIR}/picture-test)
segmora_add_octave_test(NAME segmora_pictures_octave SCRIPT segmora_pictures_test.m
  DIR ${pictureTestDir} ARGS "'${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:Segmora>', \
'${PROJECT_SOURCE_DIR}/samples', '${pictureTestDir}'")
