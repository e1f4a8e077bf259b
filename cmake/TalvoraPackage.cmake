# The Debian package: `cpack -G DEB` in the build tree makes
# talvora_<version>_amd64.deb of everything `cmake --install` puts in place.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "talvora")
set(CPACK_PACKAGE_VENDOR "Orvenic")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "meeting recorder for webcam and microphone")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Talvora records a meeting from a webcam and a microphone in five modes: the sound of one speaker or of a "
    "room (.wma), camera picture and sound, also following the faces it finds (.wmv), and still pictures "
    "(.jpg). Captures are listed as thumbnails and can be played, deleted and mailed.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Talvora developers <talvora@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TALVORA_HOMEPAGE}")
# Shared libraries from dpkg-shlibdeps (package dpkg-dev); what the program
# loads by name at run time is listed by hand: the GStreamer elements of its
# graphs (videotestsrc, audioconvert, decodebin: base; pulsesrc, level,
# v4l2src, autoaudiosink: good; asfmux, webrtcdsp: bad; asfdemux: ugly;
# the WMV/WMA encoders and decoders: libav) and the face cascade (opencv-data).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly, gstreamer1.0-libav, opencv-data")
# Mail falls back to xdg-email where the desktop portal has no e-mail interface.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
