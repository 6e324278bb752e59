# Run as: cmake -DOBJDUMP=... -DMODULE=... -P check_module.cmake
# Fails unless the module exports exactly the two entry points, undecorated, and imports
# nothing but system DLLs.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(allowed "KERNEL32.DLL;USER32.DLL;GDI32.DLL;MSVCRT.DLL;ADVAPI32.DLL;SHELL32.DLL;COMCTL32.DLL;OLE32.DLL;UXTHEME.DLL")
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper)
  if(NOT upper IN_LIST allowed)
    message(FATAL_ERROR "the module imports ${dll}, which is no system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([^\n]*\\[ *[0-9]+\\][^\n]*\n)+)" table "${dump}")
# The entries look like "[   0] Name"; brackets would upset list splitting, so rewrite the
# whole block at once.
string(REGEX REPLACE "[^\n]*\\] *([^\n]+)\n" "\\1;" names "${CMAKE_MATCH_1}")
string(REGEX REPLACE ";$" "" names "${names}")
if(NOT names STREQUAL "VesperLine;VesperNoise")
  message(FATAL_ERROR "exports are '${names}', expected exactly VesperLine;VesperNoise")
endif()
message(STATUS "exports ${names}")
