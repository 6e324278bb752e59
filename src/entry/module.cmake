# The filter module: Vesper.8bf (32-bit) or Vesper64.8bf (64-bit), exporting exactly the
# two entry points, with the property list and icon as resources.
enable_language(RC)

file(GLOB VESPER_MODULE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/module_*.cpp)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VESPER_MODULE_NAME Vesper64)
  set(VP_ENTRY_KEY "4668")   # the 8664 property, reversed
else()
  set(VESPER_MODULE_NAME Vesper)
  set(VP_ENTRY_KEY "68xw")   # the wx86 property, reversed
endif()

set(VP_ICON_FILE ${CMAKE_BINARY_DIR}/generated/vesper.ico)
add_custom_command(
  OUTPUT ${VP_ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/make_icon.sh ${VP_ICON_FILE}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_icon.sh
  COMMENT "Drawing the module icon")
add_custom_target(vesper_icon DEPENDS ${VP_ICON_FILE})

set(VESPER_MODULE_RC ${CMAKE_BINARY_DIR}/generated/module.rc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/module.rc.in ${VESPER_MODULE_RC} @ONLY)
set_source_files_properties(${VESPER_MODULE_RC} PROPERTIES OBJECT_DEPENDS "${VP_ICON_FILE};${VESPER_FORM_FILES}")

add_library(vesper_module SHARED
  ${VESPER_MODULE_SOURCES} ${VESPER_MODULE_RC} ${CMAKE_CURRENT_LIST_DIR}/module.def)
add_dependencies(vesper_module vesper_icon)
target_link_libraries(vesper_module PRIVATE vesper_core)
set_target_properties(vesper_module PROPERTIES
  OUTPUT_NAME ${VESPER_MODULE_NAME} PREFIX "" SUFFIX ".8bf"
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plugins)
# The .def decides the export table; --kill-at keeps any decoration out of the names.
target_link_options(vesper_module PRIVATE -Wl,--kill-at)

add_test(NAME module.exports_and_imports
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:vesper_module>
          -P ${CMAKE_CURRENT_LIST_DIR}/check_module.cmake)
