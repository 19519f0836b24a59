# Install rules for the parts that exist only in some builds: the batch, sweep and tiles programs, the Octave
# MEX functions with their help files, the Python module and the manual pages of the
# programs. SegmoraInstall.cmake reads this file at the end of the top-level
# CMakeLists.txt, when every folder has added its targets, so each part is installed
# exactly when its target exists.

foreach(program segmora-batch segmora-sweep segmora-tiles)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    segmora_install_strip(${CMAKE_INSTALL_BINDIR} $<TARGET_FILE_NAME:${program}> --strip-unneeded)
  endif()
endforeach()

# Octave's site folder for compiled functions of its API version, as a path below the
# install prefix (with the prefix /usr it is on Octave's default path). Each MEX file goes
# there with its help file beside it: Octave shows the help of a MEX function only from an
# .m file of the same name in the same folder.
find_program(SEGMORA_OCTAVE_CONFIG octave-config)
if(SEGMORA_OCTAVE_CONFIG AND NOT DEFINED SEGMORA_INSTALL_OCTAVEDIR)
  execute_process(COMMAND ${SEGMORA_OCTAVE_CONFIG} -p OCTAVE_HOME
                  OUTPUT_VARIABLE octaveHome OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${SEGMORA_OCTAVE_CONFIG} -p LOCALAPIOCTFILEDIR
                  OUTPUT_VARIABLE octaveSiteDir OUTPUT_STRIP_TRAILING_WHITESPACE)
  cmake_path(RELATIVE_PATH octaveSiteDir BASE_DIRECTORY "${octaveHome}")
  set(SEGMORA_INSTALL_OCTAVEDIR "${octaveSiteDir}" CACHE STRING
      "Folder below the install prefix for the Octave MEX functions and their help files")
endif()

# Every MEX function is built into SEGMORA_OCTAVE_DIR beside its help file (SegmoraMex.cmake).
foreach(mexName lineprobe segmora segmora_graph segmora_evaluate segmora_boundaries
                segmora_mean_picture)
  if(TARGET ${mexName}_octave_mex AND SEGMORA_INSTALL_OCTAVEDIR)
    install(FILES ${SEGMORA_OCTAVE_DIR}/${mexName}.mex ${SEGMORA_OCTAVE_DIR}/${mexName}.m
            DESTINATION ${SEGMORA_INSTALL_OCTAVEDIR})
    segmora_install_strip(${SEGMORA_INSTALL_OCTAVEDIR} ${mexName}.mex --strip-unneeded)
  endif()
endforeach()

# The Python package folder as the build leaves it (__init__.py, the type stub __init__.pyi,
# the py.typed marker and the extension).
if(TARGET segmora_python)
  set(SEGMORA_INSTALL_PYTHONDIR lib/python3/dist-packages CACHE STRING
      "Folder below the install prefix for the Python package")
  install(DIRECTORY ${CMAKE_BINARY_DIR}/python/segmora DESTINATION ${SEGMORA_INSTALL_PYTHONDIR}
          FILES_MATCHING PATTERN "*.py" PATTERN "*.pyi" PATTERN "py.typed" PATTERN "*.so"
          PATTERN __pycache__ EXCLUDE)
  segmora_install_strip(${SEGMORA_INSTALL_PYTHONDIR}/segmora "*.so" --strip-unneeded)
endif()

# docs/man/PROGRAM.1.in: the manual page of each program that is built, into man1 (a Debian
# package installs them compressed instead: packaging/deb.cmake).
if(NOT SEGMORA_PACKAGE_DEB)
  file(GLOB manualPages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1.in)
  foreach(manualPage IN LISTS manualPages)
    cmake_path(GET manualPage FILENAME page)
    string(REGEX REPLACE "\\.1\\.in$" "" program ${page})
    if(TARGET ${program})
      configure_file(${manualPage} ${PROJECT_BINARY_DIR}/docs/${program}.1 @ONLY)
      install(FILES ${PROJECT_BINARY_DIR}/docs/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
endif()
