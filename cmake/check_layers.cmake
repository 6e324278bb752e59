# Checks that every file under src/<layer>/ includes only headers of its own layer and of
# the layers listed before it. Included at configure time (vesper_check_layers) and run as a
# script by the test layers.includes_look_only_down:
#   cmake -DSRC=<src dir> "-DLAYERS=base;bitmap;..." -P check_layers.cmake

# Sets OUT to a list of "src/file:line: includes "header" (...)" entries.
function(vesper_check_layers src layers out)
  set(errors "")
  set(rank 0)
  foreach(layer ${layers})
    set(_rank_${layer} ${rank})
    math(EXPR rank "${rank} + 1")
  endforeach()
  execute_process(
    COMMAND grep -rnE --include=*.h --include=*.hpp --include=*.cpp
            "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"" .
    WORKING_DIRECTORY ${src} OUTPUT_VARIABLE found RESULT_VARIABLE rc)
  if(rc GREATER 1)
    message(FATAL_ERROR "check_layers: grep failed in ${src}")
  endif()
  # One entry a line: "./folder/file.h:12:#include "x/y.h"". The lines are cut out one by
  # one rather than made a list, whose splitting a "[" or a "\" in a comment would stop.
  string(LENGTH "${found}" left)
  while(left GREATER 0)
    string(FIND "${found}" "\n" cut)
    if(cut LESS 0)
      set(entry "${found}")
      set(found "")
    else()
      string(SUBSTRING "${found}" 0 ${cut} entry)
      math(EXPR cut "${cut} + 1")
      string(SUBSTRING "${found}" ${cut} -1 found)
    endif()
    string(LENGTH "${found}" left)
    if(NOT entry MATCHES "^\\./(([^/]+)/[^:]*):([0-9]+):[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(rel "${CMAKE_MATCH_1}")
    set(own "${CMAKE_MATCH_2}")
    set(lineno "${CMAKE_MATCH_3}")
    set(inc "${CMAKE_MATCH_4}")
    string(REGEX MATCH "^[^/]+" target "${inc}")
    if(NOT DEFINED _rank_${own})
      list(APPEND errors "src/${rel}: folder '${own}' is not a layer")
    elseif(inc STREQUAL target)
      # a header beside the file
    elseif(DEFINED _rank_${target})
      if(_rank_${target} GREATER _rank_${own})
        list(APPEND errors "src/${rel}:${lineno}: includes \"${inc}\" (${target} is above ${own})")
      endif()
    elseif(NOT (own STREQUAL "filters" AND target STREQUAL "forms"))
      # Only the filters' generated form texts come from outside src/.
      list(APPEND errors "src/${rel}:${lineno}: includes \"${inc}\" from no layer")
    endif()
  endwhile()
  list(REMOVE_DUPLICATES errors)
  set(${out} "${errors}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED SRC)
  vesper_check_layers(${SRC} "${LAYERS}" _errors)
  if(_errors)
    string(REPLACE ";" "\n  " _errors "${_errors}")
    message(FATAL_ERROR "Includes that look up a layer:\n  ${_errors}")
  endif()
  message(STATUS "every include looks down")
endif()
