# Turns resource files into a C++ source with one byte array each, so that the
# executable carries its icons, bitmaps and sound and runs from any folder.
function(tallykey_embed_resources target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp)
  set(args ${ARGN})
  set(deps "")
  set(pairs "")
  list(LENGTH args n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET args ${i} name)
    list(GET args ${j} file)
    list(APPEND deps ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    list(APPEND pairs "${name}=${CMAKE_CURRENT_SOURCE_DIR}/${file}")
  endforeach()
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DPAIRS=${pairs}" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedResourcesScript.cmake
    DEPENDS ${deps} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedResourcesScript.cmake
    VERBATIM)
  add_library(${target} STATIC ${out})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
endfunction()
