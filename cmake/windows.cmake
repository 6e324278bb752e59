# Link the C and C++ runtimes statically so the module needs no MinGW DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)

file(GLOB _tool_lists ${CMAKE_SOURCE_DIR}/tools/*/CMakeLists.txt)
foreach(l ${_tool_lists})
  get_filename_component(tdir ${l} DIRECTORY)
  add_subdirectory(${tdir})
endforeach()

if(EXISTS ${CMAKE_SOURCE_DIR}/src/entry/module.cmake)
  include(${CMAKE_SOURCE_DIR}/src/entry/module.cmake)
endif()
