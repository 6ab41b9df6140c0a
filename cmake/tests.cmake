# Test registration, included from the top CMakeLists.txt. Unit tests link the
# layers they test; behaviour tests load the real plug-in through hostsim.
enable_testing()
if(WIN32)
  # The cross build compiles GoogleTest from Debian's sources.
  set(TALVEX_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's source tree, for the win32 build")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TALVEX_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TALVEX_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(TALVEX_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

# A test program; runs from the build folder so it finds the plug-in beside it.
function(talvex_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${TALVEX_GTEST_LIBS} talvex_flags)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_dependencies(${name} Talvex)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

talvex_test(geometry_tests
  SOURCES tests/geometry/vector3_test.cpp tests/geometry/vertex_test.cpp
  LIBS talvex_geometry)
talvex_test(boundary_tests
  SOURCES tests/plugin/boundary_test.cpp
  LIBS talvex_core)
talvex_test(symmetry_tests
  SOURCES tests/symmetry/plane_frame_test.cpp tests/symmetry/selection_box_test.cpp
    tests/symmetry/pair_scan_test.cpp tests/symmetry/fast_pair_search_test.cpp
    tests/symmetry/cell_index_test.cpp
  LIBS talvex_core)
talvex_test(allocation_failure_tests
  SOURCES tests/symmetry/allocation_failure_test.cpp tests/plugin/initialize_failure_test.cpp
  LIBS talvex_core)
talvex_test(behaviour_tests
  SOURCES tests/behaviour/plugin_loading_test.cpp
    tests/behaviour/command_dispatch_test.cpp tests/behaviour/plane_commands_test.cpp
    tests/behaviour/live_matching_test.cpp tests/behaviour/host_notifications_test.cpp
    tests/behaviour/smart_resym_test.cpp tests/behaviour/large_mesh_test.cpp
    tests/behaviour/hostile_sequences_test.cpp
  LIBS hostsim)
# The soak: a million drag notifications and a thousand command cycles with
# every allocation counted; prints its figures.
add_executable(soak_test tests/soak/soak_test.cpp tests/support/counting_allocator.cpp)
target_link_libraries(soak_test PRIVATE talvex_core hostsim talvex_flags)
target_include_directories(soak_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_test(NAME soak_test COMMAND soak_test WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
if(WIN32)
  talvex_test(dll_image_tests
    SOURCES tests/win32/dll_image_test.cpp
    LIBS hostsim version)
endif()

# The profile reader and settings. The differential test runs in a fresh copy
# of the INI corpus; the Windows build's answers come from Wine's profile API.
set(TALVEX_INI_WORK ${CMAKE_BINARY_DIR}/ini_corpus)
add_test(NAME config_fixtures COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/tests/data/ini
  -DSAMPLE=${CMAKE_SOURCE_DIR}/packaging/Talvex.ini -DWORK=${TALVEX_INI_WORK} -P ${CMAKE_SOURCE_DIR}/tests/config/make_fixtures.cmake)
set_tests_properties(config_fixtures PROPERTIES FIXTURES_SETUP ini_corpus)
talvex_test(config_tests
  SOURCES tests/config/profile_corpus.cpp tests/config/profile_differential_test.cpp
    tests/config/profile_reader_test.cpp tests/config/leading_number_test.cpp
    tests/config/settings_test.cpp
  LIBS talvex_config talvex_platform)
set_tests_properties(config_tests PROPERTIES WORKING_DIRECTORY ${TALVEX_INI_WORK} FIXTURES_REQUIRED ini_corpus)
if(WIN32)
  set_tests_properties(config_tests PROPERTIES ENVIRONMENT TALVEX_PROFILE_API=wine)
endif()
# The settings through the shipped plug-in's boundary, with a GL context.
talvex_test(settings_plugin_tests
  SOURCES tests/config/settings_plugin_test.cpp
  LIBS hostsim)
add_executable(ini_probe tests/config/ini_probe.cpp tests/config/profile_corpus.cpp)
target_link_libraries(ini_probe PRIVATE talvex_config talvex_platform talvex_flags)
target_include_directories(ini_probe PRIVATE ${CMAKE_SOURCE_DIR}/tests)
# The host's settings report: unit tests on the corpus folder, and the command
# in both builds on a folder the fixtures made.
talvex_test(settings_report_tests
  SOURCES tests/host/settings_report_test.cpp
  LIBS talvex_host_core)
set_tests_properties(settings_report_tests PROPERTIES WORKING_DIRECTORY ${TALVEX_INI_WORK}
  FIXTURES_REQUIRED ini_corpus)
add_test(NAME settings_report_command COMMAND talvex-host settings --dir unreadable_settings
  WORKING_DIRECTORY ${TALVEX_INI_WORK})
# The key count is the length of the settings table: one row opens per key.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/config/setting_keys.h TALVEX_SETTING_ROWS
  REGEX "^ *{\"[A-Z_]+\", SettingKind::")
list(LENGTH TALVEX_SETTING_ROWS TALVEX_SETTING_KEY_COUNT)
set_tests_properties(settings_report_command PROPERTIES FIXTURES_REQUIRED ini_corpus
  PASS_REGULAR_EXPRESSION "every key takes its default.*${TALVEX_SETTING_KEY_COUNT} TALVEX_OVERSIZE_PERCENTAGE  none             10   .*0 of ${TALVEX_SETTING_KEY_COUNT} keys taken")

# Rendering tests save what they drew as PNG files under artefacts/ (stb's
# header-only writer, so the win32 build has it too).
add_library(overlay_test_support STATIC tests/overlay/png_artefact.cpp tests/overlay/pixel_probe.cpp
  tests/overlay/host_frame.cpp)
target_link_libraries(overlay_test_support PUBLIC talvex_flags hostsim)
target_include_directories(overlay_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_include_directories(overlay_test_support SYSTEM PRIVATE ${TALVEX_STB_INCLUDE_DIR})
target_compile_definitions(overlay_test_support PRIVATE TALVEX_ARTEFACT_DIR="${CMAKE_BINARY_DIR}/artefacts")
talvex_test(gl_context_tests
  SOURCES tests/overlay/gl_context_test.cpp
  LIBS hostsim overlay_test_support)
# The overlay's GL calls through a recording table, and its rendering into a
# real offscreen context.
add_library(overlay_gl_recorder STATIC tests/overlay/gl_recorder.cpp)
target_link_libraries(overlay_gl_recorder PUBLIC talvex_overlay talvex_platform talvex_host talvex_flags)
target_include_directories(overlay_gl_recorder PUBLIC ${CMAKE_SOURCE_DIR}/tests)
talvex_test(overlay_tests
  SOURCES tests/overlay/overlay_draw_test.cpp tests/overlay/plugin_overlay_test.cpp
    tests/overlay/overlay_pixels_test.cpp
  LIBS overlay_gl_recorder talvex_core hostsim overlay_test_support)
talvex_test(overlay_host_tests
  SOURCES tests/overlay/plugin_font_test.cpp tests/overlay/overlay_host_pixels_test.cpp
  LIBS hostsim overlay_test_support)
if(NOT WIN32)
  talvex_test(glyph_font_tests
    SOURCES tests/overlay/glyph_fonts_portable_test.cpp
    LIBS talvex_overlay talvex_platform hostsim)
endif()

talvex_test(host_unit_tests
  SOURCES tests/host/obj_document_test.cpp tests/host/cli_helpers_test.cpp tests/host/mirror_candidates_test.cpp
    tests/host/point_index_test.cpp tests/host/safe_writer_test.cpp tests/host/host_session_test.cpp
    tests/host/symmetry_detect_test.cpp
    tests/host/safe_defaults_test.cpp tests/host/html_page_test.cpp tests/host/obj_ownership_test.cpp
    tests/host/ordered_work_test.cpp tests/host/number_text_test.cpp
    tests/host/tolerance_resolution_test.cpp tests/host/mesh_document_test.cpp
    tests/host/many_files_test.cpp tests/host/html_index_test.cpp
    tests/host/ply_document_test.cpp tests/host/stl_document_test.cpp tests/host/gltf_document_test.cpp
    tests/host/rebuilt_formats_test.cpp tests/host/json_numbers_test.cpp
    tests/host/host_files_test.cpp
  LIBS talvex_host_core)

talvex_test(host_edit_tests
  SOURCES tests/host/half_mesh_test.cpp tests/host/topology_pairs_test.cpp
  LIBS talvexhost_edit talvexhost_pairing)

# End-to-end: session scripts and subcommands through the built host and
# plug-in, in both builds (the win32 host runs under Wine).
include(${CMAKE_SOURCE_DIR}/tests/host/e2e.cmake)

# The layering holds: a geometry file that includes a symmetry header must
# not compile. The probe is built only by this test.
add_library(layering_probe STATIC EXCLUDE_FROM_ALL tests/layering/upward_include.cpp)
target_link_libraries(layering_probe PRIVATE talvex_geometry talvex_flags)
add_test(NAME layering_refuses_upward_include
  COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layering_probe)
set_tests_properties(layering_refuses_upward_include PROPERTIES
  PASS_REGULAR_EXPRESSION "symmetry/plane_frame.h.*(No such file|file not found)")
# The same holds between the host's rooms: io sits below the session.
add_library(layering_host_probe STATIC EXCLUDE_FROM_ALL tests/layering/host_upward_include.cpp)
target_link_libraries(layering_host_probe PRIVATE talvexhost_io talvex_flags)
add_test(NAME layering_refuses_host_upward_include
  COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layering_host_probe)
set_tests_properties(layering_refuses_host_upward_include PROPERTIES
  PASS_REGULAR_EXPRESSION "session/host_session.h.*(No such file|file not found)")
# No include in the plug-in, the host or the simulation steps up a folder: a
# "../" path is found whatever the layer links. The second test runs the
# check on a probe holding such an include and expects it named.
add_test(NAME layering_refuses_relative_include
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR} "-DFOLDERS=src;talvex-host;hostsim"
    -P ${CMAKE_SOURCE_DIR}/cmake/no_relative_includes.cmake)
set(TALVEX_RELATIVE_PROBE ${CMAKE_BINARY_DIR}/relative-include-probe)
file(WRITE ${TALVEX_RELATIVE_PROBE}/stepped_up.cpp "#include \"../../src/symmetry/plane_frame.h\"\n")
add_test(NAME layering_finds_relative_include
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_BINARY_DIR} -DFOLDERS=relative-include-probe
    -P ${CMAKE_SOURCE_DIR}/cmake/no_relative_includes.cmake)
set_tests_properties(layering_finds_relative_include PROPERTIES
  PASS_REGULAR_EXPRESSION "stepped_up.cpp: #include \"\\.\\./\\.\\./src/symmetry/plane_frame.h\"")

# The package: unzipped over a program folder that holds a tuned Talvex.ini,
# it changes nothing of the user's, and ships the stripped DLL tested here;
# the command line it ships gives the native host's outputs under Wine.
if(WIN32)
  add_test(NAME package_keeps_user_files
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/package_test.sh ${CMAKE_SOURCE_DIR}
      ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/package-test ${CMAKE_OBJDUMP} ${CMAKE_OBJCOPY}
      ${CMAKE_SOURCE_DIR}/build/native/talvex-host)
endif()
