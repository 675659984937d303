# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `scripts/package` configures a Release tree for the /usr prefix and runs
# `cpack -G DEB` in it. Dependencies come from dpkg-shlibdeps, except what is loaded at run
# time rather than linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "Morvane developers")
set(CPACK_PACKAGE_CONTACT "Morvane developers <support@morvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter of audio and video files for portable players")
set(CPACK_PACKAGE_DESCRIPTION
    "Morvane converts audio and video files into files that a portable player plays:
iPhone and iPod touch, iPod nano, iPod classic, iPod Shuffle and Sony PSP.
Video becomes MPEG-4 with AAC sound in an MP4 file fitted to the player's
screen; sound alone becomes an MP3 file. Files are dropped on a small skinned
window or converted from a terminal with morvane-convert.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/prepare_debian_tree.cmake)
set(CPACK_MORVANE_STRIP ${CMAKE_STRIP})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://morvane.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugin (xcb, wayland) at run time; dpkg-shlibdeps cannot see that.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Opening the output folder and the About page's links go through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
