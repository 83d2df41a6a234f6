# SPDX-License-Identifier: GPL-3.0-or-later
# `make package`: a Debian package of everything `make install` installs.
# The file triggers of the desktop database, the icon cache and the MIME
# database pick up what the package adds, so it needs no scripts of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vextral)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VEXTRAL_DEBIAN_REVISION})
set(CPACK_PACKAGE_VENDOR "The Vextral developers")
set(CPACK_PACKAGE_CONTACT "${VEXTRAL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "harvest the icons of Windows programs and icon files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Vextral finds every icon that Windows programs, libraries, icon libraries
and icon files carry (PE and NE files, icon libraries, resource files,
icons, cursors, animated cursors, Apple icons and bitmaps), shows them in
one list and saves them in many picture formats. It comes with a
command-line tool and a thumbnailer for file managers.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.vextral.example/index.htm")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The dependencies come from dpkg-shlibdeps, run by PackageDepends.cmake
# when the package is made: the programs' libraries are Depends, the
# ImageMagick plugin's are Recommends, since only the picture converter's
# other formats need it and the programs start without it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(VEXTRAL_PACKAGE_PROGRAMS
  ${CMAKE_BINARY_DIR}/bin/vextral-cli ${CMAKE_BINARY_DIR}/bin/vextral-thumbnailer)
if(VEXTRAL_GUI)
  list(APPEND VEXTRAL_PACKAGE_PROGRAMS ${CMAKE_BINARY_DIR}/bin/vextral)
endif()
set(VEXTRAL_PACKAGE_PLUGIN_DIR ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_LIBDIR}/vextral)
configure_file(${CMAKE_CURRENT_LIST_DIR}/PackageDepends.cmake.in ${CMAKE_BINARY_DIR}/PackageDepends.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PackageDepends.cmake)
# The desktop program opens files with xdg-open and sets wallpapers through
# the desktop's own tools: useful, never required.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
