# segmora_install_strip(FOLDER PATTERN OPTION...): when the install strips (`cmake --install
# --strip`, CPack with CPACK_STRIP_FILES), run `strip OPTION... --remove-section=.comment` on
# the installed files in FOLDER (below the prefix, or absolute) that match PATTERN. For what
# install(TARGETS) does not strip, or strips but leaves the compiler's .comment in: MEX files
# and Python extensions (installed as plain files), the static library, the programs.
function(segmora_install_strip folder pattern)
  if(NOT CMAKE_STRIP)
    return()
  endif()
  list(JOIN ARGN "\" \"" options)
  set(code [[
if(CMAKE_INSTALL_DO_STRIP)
  set(folder "@folder@")
  if(NOT IS_ABSOLUTE "${folder}")
    set(folder "${CMAKE_INSTALL_PREFIX}/${folder}")
  endif()
  file(GLOB files "$ENV{DESTDIR}${folder}/@pattern@")
  foreach(file IN LISTS files)
    execute_process(COMMAND "@CMAKE_STRIP@" "@options@" --remove-section=.comment "${file}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()
]])
  string(CONFIGURE "${code}" code @ONLY)
  install(CODE "${code}")
endfunction()
