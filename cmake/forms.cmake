# Stored form descriptions: src/filters/forms/<name>.txt is the raw-data resource "T" plus
# the upper-case name without underscores (noise_form.txt -> TNOISEFORM, line_form.txt ->
# TLINEFORM). Natively each is compiled in as a string literal, one generated header per form
# (forms/<name>_text.h defining <name>_text), which the dialog registers itself; the Windows
# module carries them as RCDATA resources (VESPER_FORM_RESOURCES goes into module.rc).
set(VESPER_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(GLOB VESPER_FORM_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/filters/forms/*.txt)
list(SORT VESPER_FORM_FILES)
set(VESPER_FORM_RESOURCES "")
foreach(f ${VESPER_FORM_FILES})
  get_filename_component(_n ${f} NAME_WE)
  string(REPLACE "_" "" _res ${_n})
  string(TOUPPER "T${_res}" _res)
  string(APPEND VESPER_FORM_RESOURCES "${_res} RCDATA \"${f}\"\n")
  file(READ ${f} VP_FORM_TEXT)
  if(VP_FORM_TEXT MATCHES "\\)vp_form\"")
    message(FATAL_ERROR "${f} holds the raw-string terminator of its generated header")
  endif()
  set(VP_FORM_SOURCE ${f})
  set(VP_FORM_SYMBOL ${_n}_text)
  # A changed description configures again, so the literal never goes stale.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${f})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/form_text.h.in ${VESPER_GENERATED_DIR}/forms/${_n}_text.h @ONLY)
endforeach()
target_include_directories(vesper_filters PRIVATE ${VESPER_GENERATED_DIR})
