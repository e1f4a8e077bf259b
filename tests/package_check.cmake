# Makes the Debian package of the build with CPack and checks it the way a
# Debian user meets it: the files it puts in place, the packages it pulls in
# (shared libraries found by dpkg-shlibdeps plus the plugins and data loaded
# by name), and the desktop entry and AppStream data passing their validators.
set(out "${BUILD}/package-check")
file(REMOVE_RECURSE "${out}")
execute_process(COMMAND cpack -G DEB -B "${out}" --config "${BUILD}/CPackConfig.cmake"
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB debs "${out}/talvora_*_amd64.deb")
if(NOT rc EQUAL 0 OR NOT debs)
  message(FATAL_ERROR "cpack -G DEB failed (${rc}):\n${log}")
endif()
list(GET debs 0 deb)
if(NOT deb MATCHES "/talvora_${VERSION}_amd64\\.deb$")
  message(FATAL_ERROR "unexpected package name: ${deb}")
endif()

execute_process(COMMAND dpkg-deb -c "${deb}" OUTPUT_VARIABLE contents RESULT_VARIABLE rc)
foreach(f usr/bin/talvora "usr/lib/Talvora/Talvora Help.mht" usr/lib/Talvora/libfacedetect.so
          usr/share/applications/talvora.desktop usr/share/icons/hicolor/scalable/apps/talvora.svg
          usr/share/metainfo/com.orvenic.Talvora.metainfo.xml usr/share/man/man1/talvora.1.gz)
  string(FIND "${contents}" " ./${f}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${f} is not in the package:\n${contents}")
  endif()
endforeach()
if(contents MATCHES "/(tests?|include|bench)/|skin_generator|\\.a\n")
  message(FATAL_ERROR "the package carries build or test files:\n${contents}")
endif()

execute_process(COMMAND dpkg-deb -f "${deb}" Depends OUTPUT_VARIABLE depends)
foreach(p gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
          gstreamer1.0-libav opencv-data libqt6widgets6 libgstreamer1.0-0 libpulse0 libopencv-objdetect406 libyuv0)
  if(NOT depends MATCHES "(^|, )${p}( |,|\n|$)")
    message(FATAL_ERROR "Depends lacks ${p}: ${depends}")
  endif()
endforeach()
if(depends MATCHES "pulseaudio[ ,]|pipewire|gtest|dbusmock")
  message(FATAL_ERROR "Depends names a sound server or a test package: ${depends}")
endif()

set(root "${out}/root")
execute_process(COMMAND dpkg-deb -x "${deb}" "${root}")
execute_process(COMMAND desktop-file-validate "${root}/usr/share/applications/talvora.desktop"
                RESULT_VARIABLE rc OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT rc EQUAL 0 OR NOT said STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${said}")
endif()
execute_process(COMMAND appstreamcli validate --no-net --explain
                        "${root}/usr/share/metainfo/com.orvenic.Talvora.metainfo.xml"
                RESULT_VARIABLE rc OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate: ${said}")
endif()
execute_process(COMMAND "${root}/usr/bin/talvora" --version OUTPUT_VARIABLE version RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT version STREQUAL "talvora ${VERSION}\n")
  message(FATAL_ERROR "the packaged program says ${version} (${rc})")
endif()
file(REMOVE_RECURSE "${out}")
