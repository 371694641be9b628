# The installed layout: the desktop entry and the AppStream metadata pass their
# validators, and an install of the build into a scratch DESTDIR puts every
# file where desktops, man and bash look for it, with names that agree.
#
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DDESKTOP_FILE_VALIDATE=... -DAPPSTREAMCLI=...
#         -P check_install.cmake

set(failures "")
macro(fail text)
  string(APPEND failures "\n  ${text}")
endmacro()

set(packaging ${SOURCE_DIR}/packaging)
set(metainfo_name example.tallykey.Tallykey.metainfo.xml)

if(NOT DESKTOP_FILE_VALIDATE)
  message("SKIPPED: desktop-file-validate (desktop-file-utils) is not installed")
  return()
elseif(NOT APPSTREAMCLI)
  message("SKIPPED: appstreamcli (appstream) is not installed")
  return()
endif()

# --- validators on the sources ---
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${packaging}/tallykey.desktop
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc OR out MATCHES "error:|warning:") # hints are fine
  fail("desktop-file-validate:\n${out}")
endif()
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color ${packaging}/${metainfo_name}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc)
  fail("appstreamcli validate:\n${out}")
endif()

# --- the MIME type is the one the program registers for a user ---
file(READ ${SOURCE_DIR}/src/toolkit/linux/xdg_file_association.cpp code)
if(code MATCHES "std::string MimePackage\\(\\) {([^}]*)}")
  string(REGEX MATCHALL "\"([^\"\\\\]|\\\\.)*\"" literals "${CMAKE_MATCH_1}")
  set(registered "")
  foreach(literal ${literals})
    string(REGEX REPLACE "^\"(.*)\"$" "\\1" literal "${literal}")
    string(REPLACE "\\\"" "\"" literal "${literal}")
    string(REPLACE "\\n" "\n" literal "${literal}")
    string(APPEND registered "${literal}")
  endforeach()
  file(READ ${packaging}/tallykey.xml packaged)
  if(NOT registered STREQUAL packaged)
    fail("packaging/tallykey.xml differs from MimePackage() in xdg_file_association.cpp:\n${registered}")
  endif()
else()
  fail("no MimePackage() in src/toolkit/linux/xdg_file_association.cpp")
endif()

# --- install into a scratch DESTDIR ---
set(root ${BINARY_DIR}/install-check)
file(REMOVE_RECURSE ${root})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root}
                        ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix /usr
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc)
  message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()
set(usr ${root}/usr)
set(share ${usr}/share)

set(expected
  bin/tallyk bin/tkf
  share/tallykey/russian.lng share/tallykey/tallyk_eng.chm
  share/doc/tallykey/html/index.html share/doc/tallykey/html/style.css
  share/applications/tallykey.desktop
  share/mime/packages/tallykey.xml
  share/metainfo/${metainfo_name}
  share/man/man1/tallyk.1 share/man/man1/tkf.1
  share/bash-completion/completions/tkf)
file(GLOB pages RELATIVE ${SOURCE_DIR}/resources/help/src ${SOURCE_DIR}/resources/help/src/*.html)
foreach(page ${pages})
  list(APPEND expected share/doc/tallykey/html/${page})
endforeach()
foreach(file ${expected})
  if(NOT EXISTS ${usr}/${file} OR IS_DIRECTORY ${usr}/${file})
    fail("missing: /usr/${file}")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "install check failed:${failures}")
endif()

# only the two programs in bin, and no help project files among the pages
file(GLOB in_bin RELATIVE ${usr}/bin ${usr}/bin/*)
list(SORT in_bin)
if(NOT in_bin STREQUAL "tallyk;tkf")
  fail("/usr/bin holds ${in_bin}, not just tallyk and tkf")
endif()
file(GLOB project_files ${share}/doc/tallykey/html/*.hh?)
if(project_files)
  fail("help project files installed: ${project_files}")
endif()
foreach(program tallyk tkf)
  execute_process(COMMAND test -x ${usr}/bin/${program} RESULT_VARIABLE rc)
  if(rc)
    fail("/usr/bin/${program} is not executable")
  endif()
endforeach()
foreach(page tallyk.1 tkf.1)
  file(STRINGS ${share}/man/man1/${page} th LIMIT_COUNT 1)
  if(NOT th MATCHES "^\\.TH [A-Z]+ 1 \"[0-9]+-[0-9]+-[0-9]+\" \"Tallykey [0-9.]+\"")
    fail("${page}: title line without date or version: ${th}")
  endif()
endforeach()

# the names the files give each other, and icons of the size their folder says
file(READ ${share}/applications/tallykey.desktop desktop)
string(REGEX MATCH "\nIcon=([^\n]*)" _ "${desktop}")
set(app_icon "${CMAKE_MATCH_1}")
file(READ ${share}/mime/packages/tallykey.xml mime)
string(REGEX MATCH "<icon name=\"([^\"]*)\"" _ "${mime}")
set(mime_icon "${CMAKE_MATCH_1}")
file(READ ${share}/metainfo/${metainfo_name} metainfo)
string(REGEX MATCH "<launchable type=\"desktop-id\">([^<]*)<" _ "${metainfo}")
if(NOT EXISTS "${share}/applications/${CMAKE_MATCH_1}")
  fail("the metainfo's launchable \"${CMAKE_MATCH_1}\" is not installed")
endif()
foreach(size 16 32 48 128 256)
  foreach(icon "apps/${app_icon}" "mimetypes/${mime_icon}")
    set(png ${share}/icons/hicolor/${size}x${size}/${icon}.png)
    if(NOT EXISTS ${png})
      fail("missing: ${png}")
      continue()
    endif()
    file(READ ${png} ihdr OFFSET 16 LIMIT 8 HEX)
    math(EXPR hex_size "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" hex_size "${hex_size}")
    string(LENGTH "${hex_size}" digits)
    math(EXPR pad "8 - ${digits}")
    string(REPEAT "0" ${pad} zeros)
    if(NOT ihdr STREQUAL "${zeros}${hex_size}${zeros}${hex_size}")
      fail("${png} is not ${size} x ${size} (IHDR ${ihdr})")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "install check failed:${failures}")
endif()
message("installed layout checked in ${root}")
