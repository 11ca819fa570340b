# `cpack -G DEB` in a build folder: a Debian package of what the install
# rules put under /usr, its dependencies found by dpkg-shlibdeps from the
# libraries the programs link (Qt 6, the FFmpeg libraries, libjpeg-turbo,
# SDL2), with the debugging symbols stripped.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane developers <developers@corvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video converter for the PSP handheld")
set(CPACK_PACKAGE_DESCRIPTION
  "Corvane Video Converter turns ordinary video files into MP4 files that a PSP
plays (MPEG-4 Part 2 or H.264 video, AAC sound), with a thumbnail beside each,
and copies them to the memory stick with their titles. It has a desktop
window, a batch window and the batchvc command.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.corvane.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its windowing plugins at run time, and the decoders libavfilter,
# which no program links; the shell's "open" (folders, the help page) goes
# through xdg-open.
string(REGEX MATCH "^[0-9]+" CORVANE_AVFILTER_MAJOR "${AVFILTER_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libavfilter${CORVANE_AVFILTER_MAJOR} (>= 7:5.1)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
