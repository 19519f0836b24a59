# Builds the lineprobe MEX file for GNU Octave (through mkoctfile) and, when MATLAB is
# installed, for MATLAB (through matlab_add_mex), into ${CMAKE_BINARY_DIR}/octave and
# ${CMAKE_BINARY_DIR}/matlab beside segmora's MEX file. Each output directory also receives
# lineprobe.m, which carries the help text; calls go to the compiled file.

set(lineprobeMexSources
    ${CMAKE_CURRENT_SOURCE_DIR}/lineprobe_mex.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/line_maximum.cpp)
set(lineprobeHelp ${CMAKE_CURRENT_SOURCE_DIR}/lineprobe.m)

find_program(LINEPROBE_MKOCTFILE mkoctfile)
find_program(LINEPROBE_OCTAVE_CLI octave-cli)

if(LINEPROBE_MKOCTFILE)
  set(octaveDir ${CMAKE_BINARY_DIR}/octave)
  set(octaveMex ${octaveDir}/lineprobe.mex)
  # mkoctfile brings Octave's compiler, include paths and link flags; these replace only its
  # default CXXFLAGS. Sanitizers are left out: the file is loaded by an uninstrumented Octave.
  set(mexFlags -O2 -std=c++17 -ffp-contract=off -fno-fast-math -fvisibility=hidden
      -Wall -Wextra -Wpedantic)
  if(SEGMORA_WERROR)
    list(APPEND mexFlags -Werror)
  endif()
  list(JOIN mexFlags " " mexFlags)
  add_custom_command(
    OUTPUT ${octaveMex} ${octaveDir}/lineprobe.m
    COMMAND ${CMAKE_COMMAND} -E make_directory ${octaveDir}
    COMMAND ${CMAKE_COMMAND} -E env "CXXFLAGS=${mexFlags}"
            ${LINEPROBE_MKOCTFILE} --mex -o ${octaveMex} ${lineprobeMexSources}
    COMMAND ${CMAKE_COMMAND} -E copy ${lineprobeHelp} ${octaveDir}/lineprobe.m
    DEPENDS ${lineprobeMexSources} ${CMAKE_CURRENT_SOURCE_DIR}/line_maximum.h ${lineprobeHelp}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    COMMENT "Building lineprobe.mex for Octave"
    VERBATIM)
  add_custom_target(lineprobe_octave_mex ALL DEPENDS ${octaveMex} ${octaveDir}/lineprobe.m)

  if(SEGMORA_BUILD_TESTS)
    add_test(NAME lineprobe_mex_exports_only_mexFunction
             COMMAND sh -c "test \"$(${CMAKE_NM} -D --defined-only -j \"$0\")\" = mexFunction"
                     ${octaveMex})
  endif()
  if(SEGMORA_BUILD_TESTS AND LINEPROBE_OCTAVE_CLI)
    set(octaveTestDir ${CMAKE_CURRENT_BINARY_DIR}/octave-test)
    configure_file(lineprobe_test.m ${octaveTestDir}/lineprobe_test.m COPYONLY)
    add_test(NAME lineprobe_octave
             COMMAND ${LINEPROBE_OCTAVE_CLI} --no-gui --norc --no-history --eval
                     "addpath('${octaveTestDir}'); lineprobe_test('${octaveDir}')")
  endif()
else()
  message(STATUS "lineprobe: mkoctfile not found, Octave MEX file not built")
endif()

find_package(Matlab QUIET COMPONENTS MX_LIBRARY)
if(Matlab_FOUND)
  set(matlabDir ${CMAKE_BINARY_DIR}/matlab)
  # matlab_add_mex links MATLAB's libmx/libmex and exports only mexFunction (its version map).
  matlab_add_mex(NAME lineprobe_matlab_mex MODULE OUTPUT_NAME lineprobe
                 SRC ${lineprobeMexSources} LINK_TO segmora_exact_fp)
  target_include_directories(lineprobe_matlab_mex PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(lineprobe_matlab_mex PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    LIBRARY_OUTPUT_DIRECTORY ${matlabDir})
  add_custom_command(TARGET lineprobe_matlab_mex POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy ${lineprobeHelp} ${matlabDir}/lineprobe.m
    VERBATIM)
endif()
