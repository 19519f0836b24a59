# The Octave package segmora-VERSION.tar.gz (target octave_package): DESCRIPTION, INDEX,
# COPYING, the help files under inst/, and under src/ the sources of the MEX functions with
# a Makefile that builds them with mkoctfile. The sources, include folders and definitions
# of the engine (target segmora) and of the line walk (target lineprobe_core) are read from
# those targets when the build system is generated, so moving their files needs no change
# here (the engine's block pools, target segmora_memory, and the binding's layout
# conversions, target segmora_bindings, likewise). The segmora MEX function is packaged when bindings/octave/segmora_mex.cpp and its help file
# bindings/octave/segmora.m exist; segmora_hierarchy (every count from one run), segmora_graph (the superpixel graph) and segmora_evaluate
# (superpixel measures) come with it, and so do segmora_boundaries and segmora_mean_picture
# (the programs' pictures), which compile in the programs' boundary drawing.

set(octavePackageDir ${PROJECT_BINARY_DIR}/packaging/octave)

set(segmoraMexSource ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_mex.cpp)
set(segmoraHelp ${PROJECT_SOURCE_DIR}/bindings/octave/segmora.m)
set(segmentCallFiles ${PROJECT_SOURCE_DIR}/bindings/octave/octave_segment_call.cpp
                     ${PROJECT_SOURCE_DIR}/bindings/octave/octave_segment_call.h)
set(hierarchyMexSource ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_hierarchy_mex.cpp)
set(hierarchyHelp ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_hierarchy.m)
set(graphMexSource ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_graph_mex.cpp)
set(graphHelp ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_graph.m)
set(evaluateMexSource ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_evaluate_mex.cpp)
set(evaluateHelp ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_evaluate.m)
set(boundariesMexSource ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_boundaries_mex.cpp)
set(boundariesHelp ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_boundaries.m)
set(meanPictureMexSource ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_mean_picture_mex.cpp)
set(meanPictureHelp ${PROJECT_SOURCE_DIR}/bindings/octave/segmora_mean_picture.m)
set(drawingFiles ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.cpp
                 ${PROJECT_SOURCE_DIR}/file_formats/boundary_drawing.h
                 ${PROJECT_SOURCE_DIR}/file_formats/text_case.h)
set(octaveArraysHeader ${PROJECT_SOURCE_DIR}/bindings/octave/octave_arrays.h)
set(octaveDescription "lineprobe returns the largest absolute value of a matrix on the \
digital straight line between pairs of pixels.")
if(EXISTS ${segmoraMexSource} AND EXISTS ${segmoraHelp})
  string(PREPEND octaveDescription "segmora partitions a colour photo into superpixels, with \
the labels of the Segmora program; ")
else()
  set(segmoraMexSource "")
  set(segmoraHelp "")
endif()

string(TIMESTAMP packageDate "%Y-%m-%d" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/octave/DESCRIPTION.in ${octavePackageDir}/DESCRIPTION
               @ONLY)

file(GENERATE OUTPUT ${octavePackageDir}/manifest.cmake CONTENT "\
set(version [[${PROJECT_VERSION}]])
set(projectDir [[${PROJECT_SOURCE_DIR}]])
set(stageDir [[${octavePackageDir}/stage]])
set(archive [[${SEGMORA_DIST_DIR}/segmora-${PROJECT_VERSION}.tar.gz]])
set(description [[${octavePackageDir}/DESCRIPTION]])
set(license [[${PROJECT_SOURCE_DIR}/LICENSE]])
set(makefileTemplate [[${CMAKE_CURRENT_LIST_DIR}/octave/Makefile.in]])
set(engineDir [[$<TARGET_PROPERTY:segmora,SOURCE_DIR>]])
set(engineSources [[$<TARGET_PROPERTY:segmora,SOURCES>]])
set(engineIncludes [[$<TARGET_PROPERTY:segmora,INCLUDE_DIRECTORIES>]])
set(engineDefinitions [[$<TARGET_PROPERTY:segmora,COMPILE_DEFINITIONS>]])
set(memoryDir [[$<TARGET_PROPERTY:segmora_memory,SOURCE_DIR>]])
set(memorySources [[$<TARGET_PROPERTY:segmora_memory,SOURCES>]])
set(bindingsDir [[$<TARGET_PROPERTY:segmora_bindings,SOURCE_DIR>]])
set(bindingsSources [[$<TARGET_PROPERTY:segmora_bindings,SOURCES>]])
set(lineprobeDir [[$<TARGET_PROPERTY:lineprobe_core,SOURCE_DIR>]])
set(lineprobeSources [[$<TARGET_PROPERTY:lineprobe_core,SOURCES>]])
set(lineprobeIncludes [[$<TARGET_PROPERTY:lineprobe_core,INCLUDE_DIRECTORIES>]])
set(lineprobeMexSource [[${PROJECT_SOURCE_DIR}/lineprobe/lineprobe_mex.cpp]])
set(lineprobeHelp [[${PROJECT_SOURCE_DIR}/lineprobe/lineprobe.m]])
set(segmoraMexSource [[${segmoraMexSource}]])
set(segmoraHelp [[${segmoraHelp}]])
set(segmentCallFiles [[${segmentCallFiles}]])
set(hierarchyMexSource [[${hierarchyMexSource}]])
set(hierarchyHelp [[${hierarchyHelp}]])
set(graphMexSource [[${graphMexSource}]])
set(graphHelp [[${graphHelp}]])
set(evaluateMexSource [[${evaluateMexSource}]])
set(evaluateHelp [[${evaluateHelp}]])
set(boundariesMexSource [[${boundariesMexSource}]])
set(boundariesHelp [[${boundariesHelp}]])
set(meanPictureMexSource [[${meanPictureMexSource}]])
set(meanPictureHelp [[${meanPictureHelp}]])
set(drawingFiles [[${drawingFiles}]])
set(octaveArraysHeader [[${octaveArraysHeader}]])
")

add_custom_target(octave_package
  COMMAND ${CMAKE_COMMAND} -D manifest=${octavePackageDir}/manifest.cmake
          -P ${CMAKE_CURRENT_LIST_DIR}/make_octave_package.cmake
  BYPRODUCTS ${SEGMORA_DIST_DIR}/segmora-${PROJECT_VERSION}.tar.gz
  COMMENT "Making the Octave package segmora-${PROJECT_VERSION}.tar.gz"
  VERBATIM)
