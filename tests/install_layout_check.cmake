# Installs the build into a scratch prefix and checks the layout a desktop
# expects: the program, the product folder with the help file, the desktop
# entry and its icon.
set(prefix "${BUILD}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/talvora "lib/Talvora/Talvora Help.mht" lib/Talvora/libfacedetect.so share/applications/talvora.desktop
          share/icons/hicolor/scalable/apps/talvora.svg)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()
file(READ "${prefix}/share/applications/talvora.desktop" entry)
if(NOT entry MATCHES "Exec=talvora" OR NOT entry MATCHES "Icon=talvora")
  message(FATAL_ERROR "the desktop entry does not start talvora with its icon")
endif()
file(REMOVE_RECURSE "${prefix}")
