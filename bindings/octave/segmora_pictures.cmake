# The picture MEX functions segmora_boundaries (the programs' -v picture) and
# segmora_mean_picture (their --mean-picture), built like segmora into the same folder; the
# boundary drawing comes from the programs' boundary_drawing, compiled in.
set(drawingSources ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.cpp)
foreach(picture boundaries mean_picture)
  segmora_add_mex(NAME segmora_${picture}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/segmora_${picture}_mex.cpp ${bindingsSources}
            ${drawingSources}
    DEPENDS ${bindingsHeaders} ${CMAKE_CURRENT_SOURCE_DIR}/octave_arrays.h
            ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.h
            ${PROJECT_SOURCE_DIR}/include/segmora/segmora.h segmora
    HELP ${CMAKE_CURRENT_SOURCE_DIR}/segmora_${picture}.m
    INCLUDES ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/bindings
             ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR}/file_formats
    LINK $<TARGET_FILE:segmora> -L$<TARGET_FILE_DIR:opencv_core> -lopencv_imgproc -lopencv_core
    MATLAB_LINK segmora segmora_bindings)
endforeach()

if(SEGMORA_MKOCTFILE AND SEGMORA_BUILD_TESTS AND SEGMORA_OCTAVE_CLI)
  set(pictureTestDir ${CMAKE_CURRENT_BINARY_DIR}/picture-test)
  configure_file(segmora_pictures_test.m ${pictureTestDir}/segmora_pictures_test.m COPYONLY)
  add_test(NAME segmora_pictures_octave
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${pictureTestDir}'); segmora_pictures_test('${SEGMORA_OCTAVE_DIR}', '$<TARGET_FILE:Segmora>', '${PROJECT_SOURCE_DIR}/samples', '${pictureTestDir}')")
endif()
