# Stored form descriptions (src/filters/forms/*.txt). Natively they are compiled in as string
# literals, one generated header per form (<name>_text.h defining <name>_text); the Windows
# module carries them as RCDATA resources instead (src/host/module.cmake).
set(VESPER_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(GLOB _forms CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/filters/forms/*.txt)
foreach(f ${_forms})
  get_filename_component(_n ${f} NAME_WE)
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
target_include_directories(vesper_core PRIVATE ${VESPER_GENERATED_DIR})
