# segmora_add_mex(NAME name SOURCES src... HELP file.m [DEPENDS file-or-target...]
#                 [INCLUDES dir...] [LINK arg...] [MATLAB_LINK target...])
#
# Builds the MEX function `name` for GNU Octave through mkoctfile into
# ${CMAKE_BINARY_DIR}/octave (target name_octave_mex, with a test that mexFunction is its only
# export) and, when MATLAB is found, for MATLAB through matlab_add_mex into
# ${CMAKE_BINARY_DIR}/matlab. Every MEX function of the project lands in the same folder beside
# its help file, so one addpath brings them all.
find_program(SEGMORA_MKOCTFILE mkoctfile)
find_program(SEGMORA_OCTAVE_CLI octave-cli)
if(NOT SEGMORA_MKOCTFILE)
  message(STATUS "mkoctfile not found: the Octave MEX files are not built")
endif()
find_package(Matlab QUIET COMPONENTS MX_LIBRARY)

set(SEGMORA_OCTAVE_DIR ${CMAKE_BINARY_DIR}/octave)
set(segmoraMexExports ${CMAKE_CURRENT_LIST_DIR}/mex_exports.map)

function(segmora_add_mex)
  cmake_parse_arguments(PARSE_ARGV 0 mex "" "NAME;HELP" "SOURCES;DEPENDS;INCLUDES;LINK;MATLAB_LINK")
  if(SEGMORA_MKOCTFILE)
    segmora_add_octave_mex()
  endif()
  if(Matlab_FOUND)
    set(matlabDir ${CMAKE_BINARY_DIR}/matlab)
    # matlab_add_mex links MATLAB's libmx/libmex and exports only mexFunction (its version map).
    matlab_add_mex(NAME ${mex_NAME}_matlab_mex MODULE OUTPUT_NAME ${mex_NAME}
                   SRC ${mex_SOURCES} LINK_TO ${mex_MATLAB_LINK} segmora_exact_fp)
    target_include_directories(${mex_NAME}_matlab_mex PRIVATE ${mex_INCLUDES})
    set_target_properties(${mex_NAME}_matlab_mex PROPERTIES
      CXX_VISIBILITY_PRESET hidden LIBRARY_OUTPUT_DIRECTORY ${matlabDir})
    add_custom_command(TARGET ${mex_NAME}_matlab_mex POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy ${mex_HELP} ${matlabDir}/${mex_NAME}.m VERBATIM)
  endif()
endfunction()

# The Octave half of segmora_add_mex, reading its parsed arguments.
macro(segmora_add_octave_mex)
  set(octaveMex ${SEGMORA_OCTAVE_DIR}/${mex_NAME}.mex)
  set(objectDir ${CMAKE_CURRENT_BINARY_DIR}/${mex_NAME}-mex-objects)
  file(MAKE_DIRECTORY ${objectDir})
  # mkoctfile brings Octave's compiler, include paths and link flags; these replace only its
  # default CXXFLAGS. Sanitizers are left out: the file is loaded by an uninstrumented Octave.
  set(mexFlags -O2 -std=c++17 -ffp-contract=off -fno-fast-math -fvisibility=hidden
      -fvisibility-inlines-hidden -Wall -Wextra -Wpedantic)
  foreach(dir IN LISTS OpenCV_INCLUDE_DIRS)
    list(APPEND mexFlags -isystem ${dir})
  endforeach()
  if(SEGMORA_WERROR)
    list(APPEND mexFlags -Werror)
  endif()
  list(JOIN mexFlags " " mexFlags)
  list(TRANSFORM mex_INCLUDES PREPEND -I OUTPUT_VARIABLE includeFlags)
  add_custom_command(
    OUTPUT ${octaveMex} ${SEGMORA_OCTAVE_DIR}/${mex_NAME}.m
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SEGMORA_OCTAVE_DIR}
    COMMAND ${CMAKE_COMMAND} -E env "CXXFLAGS=${mexFlags}"
            ${SEGMORA_MKOCTFILE} --mex -o ${octaveMex} ${includeFlags} ${mex_SOURCES} ${mex_LINK}
            -Wl,--version-script=${segmoraMexExports}
    COMMAND ${CMAKE_COMMAND} -E copy ${mex_HELP} ${SEGMORA_OCTAVE_DIR}/${mex_NAME}.m
    DEPENDS ${mex_SOURCES} ${mex_DEPENDS} ${mex_HELP} ${segmoraMexExports}
    WORKING_DIRECTORY ${objectDir}
    COMMENT "Building ${mex_NAME}.mex for Octave"
    VERBATIM)
  add_custom_target(${mex_NAME}_octave_mex ALL
                    DEPENDS ${octaveMex} ${SEGMORA_OCTAVE_DIR}/${mex_NAME}.m)
  if(SEGMORA_BUILD_TESTS)
    add_test(NAME ${mex_NAME}_mex_exports_only_mexFunction
             COMMAND sh -c "test \"$(${CMAKE_NM} -D --defined-only -j \"$0\")\" = mexFunction"
                     ${octaveMex})
  endif()
endmacro()

# segmora_add_octave_test(NAME test SCRIPT file.m DIR folder ARGS "'a', 'b'")
#
# An Octave test: the function file SCRIPT of the calling folder is copied into DIR, and
# octave-cli runs SCRIPT's function there with ARGS (Octave source; generator expressions
# allowed). Nothing when the MEX files, the tests or octave-cli are not built.
function(segmora_add_octave_test)
  cmake_parse_arguments(PARSE_ARGV 0 test "" "NAME;SCRIPT;DIR;ARGS" "")
  if(NOT (SEGMORA_MKOCTFILE AND SEGMORA_BUILD_TESTS AND SEGMORA_OCTAVE_CLI))
    return()
  endif()
  get_filename_component(function ${test_SCRIPT} NAME_WE)
  configure_file(${test_SCRIPT} ${test_DIR}/${test_SCRIPT} COPYONLY)
  add_test(NAME ${test_NAME}
           COMMAND ${SEGMORA_OCTAVE_CLI} --no-gui --norc --no-history --eval
                   "addpath('${test_DIR}'); ${function}(${test_ARGS})")
endfunction()
