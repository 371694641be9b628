# The installed layout of Tallykey on Linux and its Debian package.
#
#   cmake --install build --prefix /usr         (DESTDIR=... for a staging tree)
#   cd build && cpack -G DEB                    (tallykey_VERSION-1_ARCH.deb)
#
# Included by the top CMakeLists.txt once the targets tallyk and tkf exist and
# the folders the program looks in (TALLYKEY_DATA_DIR, TALLYKEY_DOC_DIR,
# TALLYKEY_HTML_HELP_DIR) are set.
# The desktop's files come from packaging/ (see packaging/README.md).

include(GNUInstallDirs)

set(TALLYKEY_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

# Folders made by the install are 755 whatever the umask of the one who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The release date of this version, from the AppStream metadata's newest release;
# the manual pages carry it.
set(TALLYKEY_METAINFO ${TALLYKEY_PACKAGING_DIR}/example.tallykey.Tallykey.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TALLYKEY_METAINFO})
file(STRINGS ${TALLYKEY_METAINFO} TALLYKEY_NEWEST_RELEASE REGEX "<release " LIMIT_COUNT 1)
set(TALLYKEY_RELEASE_DATE "")
if(TALLYKEY_NEWEST_RELEASE MATCHES "version=\"([^\"]*)\" date=\"([0-9-]+)\"")
  if(CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    set(TALLYKEY_RELEASE_DATE ${CMAKE_MATCH_2})
  endif()
endif()
if(TALLYKEY_RELEASE_DATE STREQUAL "")
  message(WARNING "${TALLYKEY_METAINFO}: the newest <release> is not version ${PROJECT_VERSION}; "
                  "add one for it with its date")
endif()

# --- the programs, their data and help ---
install(TARGETS tallyk tkf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The same files that the build puts beside the executable.
install(FILES ${TALLYKEY_BESIDE_EXE} DESTINATION ${TALLYKEY_DATA_DIR})
install(FILES ${TALLYKEY_HTML_HELP} DESTINATION ${TALLYKEY_HTML_HELP_DIR})
install(FILES ${TALLYKEY_PACKAGING_DIR}/debian/copyright DESTINATION ${TALLYKEY_DOC_DIR})

# --- desktop integration ---
install(FILES ${TALLYKEY_PACKAGING_DIR}/tallykey.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TALLYKEY_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TALLYKEY_PACKAGING_DIR}/tallykey.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${TALLYKEY_PACKAGING_DIR}/icons/hicolor
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
  FILES_MATCHING PATTERN "*.png")

# --- manual pages and shell completion ---
foreach(page tallyk.1 tkf.1)
  configure_file(${TALLYKEY_PACKAGING_DIR}/man/${page} ${CMAKE_CURRENT_BINARY_DIR}/man/${page} @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${TALLYKEY_PACKAGING_DIR}/bash-completion/tkf
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# --- the Debian package ---
set(TALLYKEY_PACKAGE_MAINTAINER "Tallykey developers <maintainers@tallykey.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(TALLYKEY_HOMEPAGE "https://tallykey.example/")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallykey)
set(CPACK_PACKAGE_VENDOR "Tallykey developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TALLYKEY_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${TALLYKEY_HOMEPAGE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # the libraries' packages, from dpkg-shlibdeps
# Web links and the help are opened with xdg-open; the program's font is Tahoma.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"password manager with an encrypted database file
Tallykey keeps one user's logins and passwords in a single database file
(.tkf), encrypted with a master password: a tree of groups and items with a
title, login, password, web link and comment. It copies a login or password
with one click or key, or as soon as an item is selected, and has a mode in
which one Ctrl+V pastes the login and the next one the password. It also
has a password generator, language files and a notification-area icon.

The command tkf reads and writes the same files for scripts and backups, and
moves data to and from other password managers as JSON or CSV.")
# Run on the staging tree before the package is made: compressed manual
# pages, the Debian changelog, doc-base and a fuller strip.
set(CPACK_PRE_BUILD_SCRIPTS ${TALLYKEY_PACKAGING_DIR}/debian/staging.cmake)
set(CPACK_TALLYKEY_CHANGELOG ${TALLYKEY_PACKAGING_DIR}/debian/changelog)
set(CPACK_TALLYKEY_DOC_BASE ${TALLYKEY_PACKAGING_DIR}/debian/doc-base)
set(CPACK_TALLYKEY_DOC_DESTINATION ${TALLYKEY_DOC_DIR})
set(CPACK_TALLYKEY_MAN_DESTINATION ${CMAKE_INSTALL_MANDIR})

include(CPack)
