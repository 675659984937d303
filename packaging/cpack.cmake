# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `scripts/package` configures a Release tree for the /usr prefix and runs
# `cpack -G DEB` in it. Dependencies come from dpkg-shlibdeps alone.
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

# Upstream version 1.0.7, Debian revision 1: morvane_1.0.7-1_amd64.deb.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://morvane.org/")
# Qt loads its platform plugin at run time, unseen by dpkg-shlibdeps; but the X11 one (xcb)
# comes with libqt6gui6, which the linked libraries already bring in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Wayland platform plugin, for a Wayland session without XWayland; opening the output
# folder and the About page's links go through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
