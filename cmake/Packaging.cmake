# `make package`: a Debian package of everything `make install` installs.
# The shared-library dependencies come from dpkg-shlibdeps; the file triggers
# of the desktop database, the icon cache and the MIME database pick up what
# the package adds, so it needs no scripts of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vextral)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vextral developers")
set(CPACK_PACKAGE_CONTACT "Vextral <author@vextral.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "harvest the icons of Windows programs and icon files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Vextral finds every icon that Windows programs, libraries, icon libraries
and icon files carry (PE and NE files, .icl, .nil, .ico, .cur, .ani, .bmp),
shows them in one list and saves them in many picture formats. It comes with
a command-line tool and a thumbnailer for file managers.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.vextral.example/index.htm")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The desktop program opens files with xdg-open and sets wallpapers through
# the desktop's own tools: useful, never required.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
