# The Windows packages, made when the build has tallyk.exe: the installer
# (tallykey-setup.exe, by makensis from packaging/windows/tallykey.nsi) and
# the portable zip (tallykey-<version>-windows.zip). Both take the files as
# the build places them beside tallyk.exe.
if(NOT TARGET tallyk)
  return()
endif()
find_program(TALLYKEY_MAKENSIS makensis)
if(NOT TALLYKEY_MAKENSIS)
  message(FATAL_ERROR "makensis not found: the Windows installer needs Debian's nsis (scripts/install-deps.sh)")
endif()

set(TALLYKEY_SETUP ${CMAKE_BINARY_DIR}/tallykey-setup.exe)
set(TALLYKEY_ZIP ${CMAKE_BINARY_DIR}/tallykey-${PROJECT_VERSION}-windows.zip)
# What is shipped, staged in package/: the programs without their debugging
# information, the language file, the help and the zip's README.
set(stage ${CMAKE_BINARY_DIR}/package)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${stage}/README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${stage}/tallyk.exe ${stage}/tkf.exe ${stage}/russian.lng ${stage}/tallyk_eng.chm
  COMMAND ${CMAKE_STRIP} -o ${stage}/tallyk.exe $<TARGET_FILE:tallyk>
  COMMAND ${CMAKE_STRIP} -o ${stage}/tkf.exe $<TARGET_FILE:tkf>
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/russian.lng ${CMAKE_BINARY_DIR}/tallyk_eng.chm ${stage}
  DEPENDS tallyk tkf ${CMAKE_BINARY_DIR}/russian.lng ${CMAKE_BINARY_DIR}/tallyk_eng.chm
  VERBATIM)
set(packaged ${stage}/tallyk.exe ${stage}/tkf.exe ${stage}/russian.lng ${stage}/tallyk_eng.chm)

add_custom_command(OUTPUT ${TALLYKEY_SETUP}
  COMMAND ${TALLYKEY_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DPROGRAMS=${stage}
          -DOUTFILE=${TALLYKEY_SETUP} ${PROJECT_SOURCE_DIR}/packaging/windows/tallykey.nsi
  DEPENDS ${packaged} ${PROJECT_SOURCE_DIR}/packaging/windows/tallykey.nsi
  COMMENT "Making tallykey-setup.exe"
  VERBATIM)
add_custom_command(OUTPUT ${TALLYKEY_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${TALLYKEY_ZIP} --format=zip tallyk.exe tkf.exe russian.lng tallyk_eng.chm
          README.txt
  WORKING_DIRECTORY ${stage}
  DEPENDS ${packaged} ${stage}/README.txt
  COMMENT "Making the portable zip"
  VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${TALLYKEY_SETUP} ${TALLYKEY_ZIP})
