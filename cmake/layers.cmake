# The folders of src/ are layers, each a static library that links only the one below it:
#
#   base -> bitmap -> toolkit -> host -> widgets -> bridge -> filters -> entry
#
# A folder may include its own headers and those of the folders below it, never above;
# cmake/check_layers.cmake enforces that at configure time (and as a test), naming the file
# and the include that breaks the order. Files in a folder's win32/ or headless/ subfolder
# are that folder's platform back end; only the one for the target platform is built.
set(VESPER_LAYERS base bitmap toolkit host widgets bridge filters entry)

include(${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
vesper_check_layers(${CMAKE_SOURCE_DIR}/src "${VESPER_LAYERS}" _layer_errors)
if(_layer_errors)
  string(REPLACE ";" "\n  " _layer_errors "${_layer_errors}")
  message(FATAL_ERROR "Includes that look up a layer:\n  ${_layer_errors}")
endif()

if(WIN32)
  set(_backend win32)
else()
  set(_backend headless)
endif()

set(_below "")
foreach(layer ${VESPER_LAYERS})
  file(GLOB _s CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${layer}/*.cpp
                                 ${CMAKE_SOURCE_DIR}/src/${layer}/${_backend}/*.cpp)
  # The entry points go into the module itself (and natively into a harness library).
  list(FILTER _s EXCLUDE REGEX "/src/entry/module_[^/]*\\.cpp$")
  if(NOT VESPER_X86)
    list(FILTER _s EXCLUDE REGEX "_(sse2|avx512)\\.cpp$")
  endif()
  foreach(f ${_s})
    if(f MATCHES "_sse2\\.cpp$")
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-msse2")
    elseif(f MATCHES "_avx512\\.cpp$")
      # MinGW's GCC keeps Windows' 16-byte stack alignment for wide spills (GCC bug 54412):
      # the assembler then writes every aligned vector move as an unaligned one.
      set(_wide -mavx512f -mavx512bw -mfma)
      if(MINGW)
        list(APPEND _wide -Wa,-muse-unaligned-vector-move)
      endif()
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "${_wide}")
    endif()
  endforeach()
  add_library(vesper_${layer} STATIC ${_s})
  if(_below)
    target_link_libraries(vesper_${layer} PUBLIC vesper_${_below})
  endif()
  set(_below ${layer})
endforeach()

target_include_directories(vesper_base PUBLIC ${CMAKE_SOURCE_DIR}/src)
if(VESPER_X86)
  target_compile_definitions(vesper_base PUBLIC VESPER_X86=1)
endif()
if(WIN32)
  target_compile_definitions(vesper_base PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_link_libraries(vesper_base PUBLIC gdi32 user32 advapi32 shell32 comctl32 uuid ole32)
endif()

# The whole stack below the entry points' own file, for tools, tests and benchmarks.
add_library(vesper_core INTERFACE)
target_link_libraries(vesper_core INTERFACE vesper_entry)

add_test(NAME layers.includes_look_only_down
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/src "-DLAYERS=${VESPER_LAYERS}"
          -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
# The check itself refuses a tree whose includes look up, naming file, line and include.
add_test(NAME layers.check_refuses_an_include_that_looks_up
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/tests/layers/looks_up "-DLAYERS=${VESPER_LAYERS}"
          -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
set_tests_properties(layers.check_refuses_an_include_that_looks_up PROPERTIES
  PASS_REGULAR_EXPRESSION "src/bitmap/core.cpp:4: includes \"widgets/view.h\" \\(widgets is above bitmap\\)"
  FAIL_REGULAR_EXPRESSION "src/widgets/view.h")
# No character of a comment on an include line ("[", "\\", "]", ";") hides the lines after it.
add_test(NAME layers.check_reads_every_line
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/tests/layers/hidden_lines "-DLAYERS=${VESPER_LAYERS}"
          -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
set_tests_properties(layers.check_reads_every_line PROPERTIES
  PASS_REGULAR_EXPRESSION "core.cpp:2: includes \"widgets/view.h\".*core.cpp:4: includes \"filters/form.h\".*core.cpp:6: includes \"entry/module.h\"")
