# The Debian package: CPack's DEB generator packs what `cmake --install` installs. `make
# package` configures build-package/ with CMAKE_INSTALL_PREFIX=/usr and SEGMORA_PACKAGE_DEB=ON,
# which installs the documents as Debian wants them: copyright in Debian's format, a
# changelog.gz and compressed manual pages. Dependencies come from dpkg-shlibdeps.

if(SEGMORA_PACKAGE_DEB)
  set(debianDir ${PROJECT_BINARY_DIR}/packaging/debian)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debianDir}/copyright @ONLY)
  # The date honours SOURCE_DATE_EPOCH; gzip -n leaves the time and name out of the file.
  string(TIMESTAMP changelogDate "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${debianDir}/changelog @ONLY)
  find_program(SEGMORA_GZIP gzip REQUIRED)
  execute_process(COMMAND ${SEGMORA_GZIP} -9n -c ${debianDir}/changelog
                  OUTPUT_FILE ${debianDir}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${debianDir}/copyright ${debianDir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # docs/man/PROGRAM.1.in: the manual page of each program that is built.
  file(GLOB manualPages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1.in)
  foreach(manualPage IN LISTS manualPages)
    cmake_path(GET manualPage FILENAME page)
    string(REGEX REPLACE "\\.1\\.in$" "" program ${page})
    if(TARGET ${program})
      configure_file(${manualPage} ${debianDir}/${program}.1 @ONLY)
      execute_process(COMMAND ${SEGMORA_GZIP} -9n -c ${debianDir}/${program}.1
                      OUTPUT_FILE ${debianDir}/${program}.1.gz COMMAND_ERROR_IS_FATAL ANY)
      install(FILES ${debianDir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
  if(TARGET lineprobe_octave_mex OR TARGET segmora_octave_mex)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME segmora)
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME segmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Segmora developers")
set(CPACK_PACKAGE_CONTACT "${SEGMORA_PACKAGE_MAINTAINER}")
set(CPACK_OUTPUT_FILE_PREFIX ${SEGMORA_DIST_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian's control file wants the description in lines of at most 80 characters.
function(segmora_wrap_words out text)
  string(REPLACE " " ";" words "${text}")
  set(wrapped "")
  set(line "")
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(line AND length GREATER 72)
      string(APPEND wrapped "${line}\n")
      set(line "${word}")
    elseif(line)
      string(APPEND line " ${word}")
    else()
      set(line "${word}")
    endif()
  endforeach()
  set(${out} "${wrapped}${line}" PARENT_SCOPE)
endfunction()

set(contents "the Segmora program")
if(TARGET segmora-batch)
  list(APPEND contents "segmora-batch, which segments many photos in one run")
endif()
if(TARGET segmora-sweep)
  list(APPEND contents "segmora-sweep, which scores superpixels of a folder of photos against \
ground truths for many knob settings")
endif()
if(TARGET segmora-tiles)
  list(APPEND contents "segmora-tiles, which segments one photo of any size in tiles, on one \
machine or as cluster jobs")
endif()
list(APPEND contents "the static library libsegmora with its C++ header and CMake package")
if(TARGET segmora_octave_mex)
  list(APPEND contents "the Octave function segmora (the same segmentation)")
endif()
if(TARGET segmora_graph_octave_mex)
  list(APPEND contents "the Octave function segmora_graph (sizes, centroids, colours and \
neighbours of superpixels)")
endif()
if(TARGET segmora_evaluate_octave_mex)
  list(APPEND contents "the Octave function segmora_evaluate (superpixel quality against \
ground truth)")
endif()
if(TARGET segmora_boundaries_octave_mex)
  list(APPEND contents "the Octave functions segmora_boundaries and segmora_mean_picture (the \
programs' boundary and mean-colour pictures)")
endif()
if(TARGET lineprobe_octave_mex)
  list(APPEND contents "the Octave function lineprobe (the largest absolute value on the \
digital straight line between two pixels of a matrix)")
endif()
if(TARGET segmora_python)
  list(APPEND contents "the Python 3 module segmora")
endif()
list(POP_BACK contents lastPart)
list(JOIN contents ", " contents)
segmora_wrap_words(about "Segmora partitions a colour photo into superpixels. It merges \
neighbouring pixels greedily, most similar colours first, under an adaptive threshold and a \
size cap, optionally within given regions, and writes the label of every pixel as \
comma-separated text, a 16-bit PNG, a NumPy array or a 32-bit TIFF.")
segmora_wrap_words(holds "This package holds ${contents} and ${lastPart}.")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split colour photos into superpixels")
set(CPACK_PACKAGE_DESCRIPTION "${about}\n\n${holds}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The MEX files load into Octave; Octave is not needed for the rest.
if(TARGET segmora_octave_mex OR TARGET lineprobe_octave_mex)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS octave)
endif()
# A Python extension loads only into the Python version it was built for.
if(TARGET segmora_python)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  math(EXPR nextMinor "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), python3 (<< ${Python3_VERSION_MAJOR}.${nextMinor}), python3-numpy")
endif()
# The programs load OpenCV's image codecs only when needed (dlopen), which dpkg-shlibdeps cannot
# see: the package that holds that library is named here.
if(SEGMORA_PACKAGE_DEB AND (TARGET Segmora OR TARGET segmora-batch))
  get_target_property(codecsLibrary opencv_imgcodecs LOCATION)
  file(REAL_PATH "${codecsLibrary}" codecsLibrary)
  execute_process(COMMAND dpkg-query -S "${codecsLibrary}" OUTPUT_VARIABLE codecsOwner
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "^([^:]+):.*" "\\1" codecsPackage "${codecsOwner}")
  list(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "${codecsPackage}")
  list(JOIN CPACK_DEBIAN_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
# The C++ header and CMake package need OpenCV's headers: find_dependency(OpenCV).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libopencv-dev)

set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/" "/dist/" "/out/")
include(CPack)
