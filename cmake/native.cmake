find_package(GTest REQUIRED)
include(GoogleTest)

# The entry points are kept out of the entry library; natively they form a harness library that
# the tests and the test host link directly.
file(GLOB VESPER_MODULE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/entry/module_*.cpp)
if(VESPER_MODULE_SOURCES)
  add_library(vesper_module_native STATIC ${VESPER_MODULE_SOURCES})
  target_link_libraries(vesper_module_native PUBLIC vesper_core)
endif()

# One test program per subsystem folder under tests/.
file(GLOB _test_dirs LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
foreach(dir ${_test_dirs})
  if(IS_DIRECTORY ${dir})
    get_filename_component(name ${dir} NAME)
    file(GLOB _t CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(_t)
      add_executable(test_${name} ${_t})
      target_link_libraries(test_${name} PRIVATE vesper_core GTest::gtest GTest::gtest_main)
      target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
      target_compile_definitions(test_${name} PRIVATE VESPER_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                 VESPER_VERSION="${PROJECT_VERSION}")
      if(TARGET vesper_module_native)
        target_link_libraries(test_${name} PRIVATE vesper_module_native)
      endif()
      gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
    endif()
  endif()
endforeach()

# The set-up script and its apt version alignment, against recorded apt reports
# (tests/setup/*_test.sh, bash with fake package tools; nothing to build).
if(NOT VESPER_SANITIZE)
  foreach(t apt_align setup exec32_probe)
    add_test(NAME setup.${t} COMMAND bash ${CMAKE_SOURCE_DIR}/tests/setup/${t}_test.sh)
    set_tests_properties(setup.${t} PROPERTIES TIMEOUT 400)
  endforeach()
endif()

# Native tools (test host and friends) live in tools/<name>/ with a CMakeLists of their own.
file(GLOB _tool_lists ${CMAKE_SOURCE_DIR}/tools/*/CMakeLists.txt)
foreach(l ${_tool_lists})
  get_filename_component(tdir ${l} DIRECTORY)
  add_subdirectory(${tdir})
endforeach()

if(VESPER_BENCH)
  find_package(benchmark QUIET)
  if(benchmark_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
    add_subdirectory(bench)
  else()
    message(STATUS "Google Benchmark not found: benchmarks skipped")
  endif()
endif()
