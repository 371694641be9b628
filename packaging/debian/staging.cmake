# Run by CPack on the staging tree of the Debian package, before the package is
# made (CPACK_PRE_BUILD_SCRIPTS in cmake/Install.cmake): what Debian asks of a
# package beyond the plain install.
#  - manual pages compressed with gzip -9n (no name, no time stamp);
#  - the Debian changelog as /usr/share/doc/tallykey/changelog.Debian.gz,
#    whose newest entry must be this package's version;
#  - the HTML help registered with doc-base;
#  - the executables without the .comment and .note sections, which the
#    plain strip of CPACK_STRIP_FILES leaves.

set(usr "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${usr}/${CPACK_TALLYKEY_DOC_DESTINATION}")
if(NOT IS_DIRECTORY "${doc}")
  message(FATAL_ERROR "no ${doc} in the staging tree")
endif()

function(gzip_file path)
  execute_process(COMMAND gzip -9nf "${path}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${path}: ${failed}")
  endif()
endfunction()

file(GLOB_RECURSE pages "${usr}/${CPACK_TALLYKEY_MAN_DESTINATION}/*.[1-9]")
if(NOT pages)
  message(FATAL_ERROR "no manual pages in the staging tree")
endif()
foreach(page ${pages})
  gzip_file("${page}")
endforeach()

set(version "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
file(STRINGS "${CPACK_TALLYKEY_CHANGELOG}" newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^${CPACK_PACKAGE_NAME} \\(([^)]*)\\) ")
  message(FATAL_ERROR "${CPACK_TALLYKEY_CHANGELOG}: the first line is no changelog entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL version)
  message(FATAL_ERROR "${CPACK_TALLYKEY_CHANGELOG}: the newest entry is ${CMAKE_MATCH_1}, "
                      "the package is ${version}; add an entry for it")
endif()
file(COPY "${CPACK_TALLYKEY_CHANGELOG}" DESTINATION "${doc}"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(RENAME "${doc}/changelog" "${doc}/changelog.Debian")
gzip_file("${doc}/changelog.Debian")

# doc-base's paths are absolute, so only the package, whose prefix is fixed, has it.
file(COPY "${CPACK_TALLYKEY_DOC_BASE}" DESTINATION "${usr}/share/doc-base"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(RENAME "${usr}/share/doc-base/doc-base" "${usr}/share/doc-base/tallykey")

file(GLOB programs "${usr}/bin/*")
foreach(program ${programs})
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${program}"
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip ${program}: ${failed}")
  endif()
endforeach()
