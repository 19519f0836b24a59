# cmake --install: the programs, libsegmora with its one header, and the CMake package
# (find_package(Segmora) gives Segmora::segmora).
include(CMakePackageConfigHelpers)
include(${CMAKE_CURRENT_LIST_DIR}/SegmoraStrip.cmake)

install(TARGETS Segmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS segmora EXPORT SegmoraTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/segmora/segmora.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/segmora)
segmora_install_strip(${CMAKE_INSTALL_BINDIR} $<TARGET_FILE_NAME:Segmora> --strip-unneeded)
segmora_install_strip(${CMAKE_INSTALL_LIBDIR} $<TARGET_FILE_NAME:segmora> --strip-debug
                      --enable-deterministic-archives)

set(segmoraPackageDir ${CMAKE_INSTALL_LIBDIR}/cmake/Segmora)
install(EXPORT SegmoraTargets NAMESPACE Segmora:: DESTINATION ${segmoraPackageDir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/SegmoraConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/SegmoraConfig.cmake INSTALL_DESTINATION ${segmoraPackageDir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/SegmoraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SegmoraConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/SegmoraConfigVersion.cmake
        DESTINATION ${segmoraPackageDir})

# The README and the licence; a Debian package carries them in Debian's own form instead
# (packaging/deb.cmake).
if(NOT SEGMORA_PACKAGE_DEB)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# The optional parts (batch program, MEX functions, Python module) once every folder has
# added its targets.
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}
               CALL include ${PROJECT_SOURCE_DIR}/cmake/SegmoraInstallParts.cmake)
