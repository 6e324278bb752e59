# Fuzz targets (tests/fuzz/targets/<name>.cpp, each its own libFuzzer program fuzz_<name>,
# with its seed corpus in tests/fuzz/corpus/<name>/). Included before any library is made,
# so that every object carries libFuzzer's coverage and the sanitizers; only the targets
# link libFuzzer's driver, and the GoogleTest programs are simply not built in this tree
# (build the target fuzz_targets).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VESPER_FUZZ needs clang (libFuzzer); configure with the fuzz preset")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)

# The targets' sources sit one folder down so that the per-folder GoogleTest glob of
# tests/ finds no program in tests/fuzz.
file(GLOB VESPER_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/targets/*.cpp)
add_custom_target(fuzz_targets)
foreach(src ${VESPER_FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(fuzz_${name} ${src})
  target_include_directories(fuzz_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  # Resolved when the build is generated: the libraries are made after this file is read.
  target_link_libraries(fuzz_${name} PRIVATE testhost_logic standin_logic vesper_module_native vesper_core)
  add_dependencies(fuzz_targets fuzz_${name})
endforeach()

