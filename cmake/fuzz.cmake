# Fuzzers (sanitize preset), included from the top CMakeLists.txt. Each runs
# under ctest for TALVEX_FUZZ_SECONDS from its seed corpus in
# fuzz/corpus/<name>; what it finds new is kept under the build folder, never
# in the source tree. Longer runs by hand: see README.md.
if(NOT TALVEX_FUZZ)
  return()
endif()

# Coverage feedback comes from the plug-in's own code and the host's rooms
# (its mesh readers among them); the harnesses and the host simulation stay
# uninstrumented, so libFuzzer steers by what the code under test does.
foreach(layer talvex_geometry talvex_platform talvex_config talvex_overlay talvex_symmetry
    talvex_plugin talvexhost_io talvexhost_detect talvexhost_pairing talvexhost_render
    talvexhost_session talvexhost_report talvexhost_script talvexhost_demo talvexhost_commands)
  target_compile_options(${layer} PRIVATE -fsanitize=fuzzer-no-link)
endforeach()

# Inputs reach twice the mesh reader's longest line, so that long lines and
# the boundaries between pieces are tried, not only the short inputs
# libFuzzer starts from.
set(TALVEX_FUZZ_MAX_LEN 131072)

function(talvex_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} talvex_flags)
  # libFuzzer's main at link time only; the harness is optimised, since it
  # checks the whole scene after every call.
  target_compile_options(${name} PRIVATE -O1)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(found ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${found})
  add_test(NAME ${name}
    COMMAND ${name} -max_total_time=${TALVEX_FUZZ_SECONDS} -max_len=${TALVEX_FUZZ_MAX_LEN}
      -print_final_stats=1
      ${found} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()

talvex_fuzzer(host_calls_fuzzer SOURCES fuzz/host_calls_fuzzer.cpp LIBS talvex_core hostsim)
talvex_fuzzer(ini_reader_fuzzer SOURCES fuzz/ini_reader_fuzzer.cpp LIBS talvex_config talvex_platform)
talvex_fuzzer(obj_reader_fuzzer SOURCES fuzz/obj_reader_fuzzer.cpp LIBS talvex_host_core)
talvex_fuzzer(mesh_formats_fuzzer SOURCES fuzz/mesh_formats_fuzzer.cpp LIBS talvex_host_core)
