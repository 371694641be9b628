# A Windows program as shipped: it needs no DLL beyond Windows' own (everything
# else is linked statically) and carries the loader's hardening flags.
#
#   cmake -DOBJDUMP=... -DPROGRAM=tkf.exe -DSIXTY_FOUR_BIT=ON -P check_windows_program.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${PROGRAM}")
endif()

# Windows' own libraries (the C runtime msvcrt.dll ships with every Windows).
set(allowed advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll
    user32.dll winmm.dll)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "${PROGRAM}: no imports found in the headers")
endif()
set(foreign "")
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST allowed)
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} needs DLLs that Windows does not have: ${foreign}")
endif()

# IMAGE_DLLCHARACTERISTICS_: DYNAMIC_BASE 0x40, NX_COMPAT 0x100, HIGH_ENTROPY_VA 0x20.
if(NOT headers MATCHES "DllCharacteristics[ \t]+([0-9a-fA-F]+)")
  message(FATAL_ERROR "${PROGRAM}: no DllCharacteristics in the headers")
endif()
math(EXPR flags "0x${CMAKE_MATCH_1}")
set(want 0x140)
if(SIXTY_FOUR_BIT)
  set(want 0x160)
endif()
math(EXPR have "${flags} & ${want}")
if(NOT have EQUAL want)
  math(EXPR want "${want}" OUTPUT_FORMAT HEXADECIMAL)
  message(FATAL_ERROR "${PROGRAM}: DllCharacteristics 0x${CMAKE_MATCH_1} lack some of ${want}")
endif()
message(STATUS "${PROGRAM}: imports ${imports}; DllCharacteristics 0x${CMAKE_MATCH_1}")
