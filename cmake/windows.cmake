# Link the C and C++ runtimes statically so the module needs no MinGW DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)
# The static runtime brings far more than the module calls; the linker drops what nothing
# reaches, which keeps each module under its 1 MiB.
add_link_options(-Wl,--gc-sections)
# -O3's extra inlining and unrolling cost the 32-bit module about 130 KB of its 1 MiB; the hot
# loops are SIMD written by hand, and the benchmarks measure -O2 builds as well.
foreach(_lang C CXX)
  string(REPLACE "-O3" "-O2" CMAKE_${_lang}_FLAGS_RELEASE "${CMAKE_${_lang}_FLAGS_RELEASE}")
endforeach()

# What runs this build's programs under Wine. Debian's `wine` wrapper picks the 32-bit loader
# whenever wine32 is installed, even for a 64-bit program, and some machines refuse 32-bit
# programs altogether: a 64-bit build goes to the 64-bit loader directly.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_program(VESPER_WINE64_LOADER NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine
               DOC "Wine's 64-bit loader, which runs the 64-bit build's tests")
  set(VESPER_WINE ${VESPER_WINE64_LOADER})
else()
  find_program(VESPER_WINE32_LOADER NAMES wine DOC "Wine, which runs the 32-bit build's tests")
  set(VESPER_WINE ${VESPER_WINE32_LOADER})
endif()
if(NOT VESPER_WINE)
  message(STATUS "Wine not found: the Windows programs' tests will report themselves skipped")
endif()

file(GLOB _tool_lists ${CMAKE_SOURCE_DIR}/tools/*/CMakeLists.txt)
foreach(l ${_tool_lists})
  get_filename_component(tdir ${l} DIRECTORY)
  add_subdirectory(${tdir})
endforeach()

if(EXISTS ${CMAKE_SOURCE_DIR}/src/entry/module.cmake)
  include(${CMAKE_SOURCE_DIR}/src/entry/module.cmake)
endif()
