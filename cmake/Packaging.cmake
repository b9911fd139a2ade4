# A Debian package of what `cmake --install` puts in place: `cpack` in the build folder makes
# quorvel_<version>_<arch>.deb, installed below /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR quorvel)
set(CPACK_PACKAGE_CONTACT "quorvel <https://github.com/quorvel/quorvel>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file search by name and content, also inside ZIP and RAR archives")
set(CPACK_PACKAGE_DESCRIPTION
    "朔玳 (quorvel) finds files by name (wildcards and preset lists) and text inside files line by
line, in every text encoding on request, and looks inside ZIP and RAR archives. Hits stream into
a table from which files are opened, shown in the file manager or copied to the clipboard. The
command-line tool quorvel-search runs the same search without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only what the program installs; the build's own tests and benchmarks stay out.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
set(CPACK_OUTPUT_FILE_PREFIX "${PROJECT_BINARY_DIR}/packages")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/quorvel/quorvel")
# The libraries the programs link come from dpkg-shlibdeps; what they load at run time is named
# here, since no program links it: Qt's windowing plug-ins, and libarchive.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libarchive${QUORVEL_LIBARCHIVE_SOVERSION}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, hicolor-icon-theme")

include(CPack)
