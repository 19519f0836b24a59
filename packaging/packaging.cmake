# The two packages, both written to SEGMORA_DIST_DIR:
# - segmora_VERSION_ARCH.deb, by CPack's DEB generator (`package` target): everything that
#   `cmake --install` installs, laid out for Debian when SEGMORA_PACKAGE_DEB is on;
# - segmora-VERSION.tar.gz, an Octave package that builds both MEX functions from the
#   sources it carries (`octave_package` target).
# Both are set up at the end of the top-level CMakeLists.txt, when every target exists.
set(SEGMORA_DIST_DIR ${PROJECT_BINARY_DIR}/dist CACHE PATH "Folder that receives the packages")
set(SEGMORA_PACKAGE_MAINTAINER "Segmora developers <segmora@example.org>" CACHE STRING
    "Maintainer named in the Debian package and the Octave package")

cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}
               CALL include ${PROJECT_SOURCE_DIR}/packaging/deb.cmake)
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}
               CALL include ${PROJECT_SOURCE_DIR}/packaging/octave_package.cmake)
