# End-to-end tests of talvex-host, included from cmake/tests.cmake.
# Session scripts run one ctest each; the subcommands are driven by
# cli_e2e.sh; in the win32 build, compare_builds.sh runs the same work with
# the native host too and requires byte-identical outputs.

# Libraries the host must refuse: interface version 3, and one export missing.
add_library(wrong_version_plugin SHARED tests/host/wrong_version_plugin.cpp)
target_link_libraries(wrong_version_plugin PRIVATE talvex_host talvex_flags)
set_target_properties(wrong_version_plugin PROPERTIES PREFIX "")
add_library(missing_export_plugin SHARED tests/host/wrong_version_plugin.cpp)
target_link_libraries(missing_export_plugin PRIVATE talvex_host talvex_flags)
target_compile_definitions(missing_export_plugin PRIVATE TALVEX_FIXTURE_NO_INITIALIZE)
set_target_properties(missing_export_plugin PROPERTIES PREFIX "")

set(TALVEX_E2E_OUT ${CMAKE_BINARY_DIR}/e2e)
file(GLOB TALVEX_E2E_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/scripts/*.tvx)
foreach(script ${TALVEX_E2E_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME e2e_${name}
    COMMAND talvex-host run ${script} --out ${TALVEX_E2E_OUT}/${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endforeach()

if(WIN32)
  set(TALVEX_HOST_RUNNER ${CMAKE_SOURCE_DIR}/cmake/wine-run $<TARGET_FILE:talvex-host>)
else()
  set(TALVEX_HOST_RUNNER $<TARGET_FILE:talvex-host>)
endif()
add_test(NAME e2e_cli
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/cli_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/cli
    $<TARGET_FILE:wrong_version_plugin> $<TARGET_FILE:missing_export_plugin> ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# Faults while files are read and written: signals, limits, inputs cut short.
add_test(NAME e2e_faults
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/faults_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/faults
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# detect on regular meshes (noisy grids under a rigid motion) and its --top.
add_test(NAME e2e_detect
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/detect_e2e.sh ${TALVEX_E2E_OUT}/detect ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# resym's and check's defaults: where it writes, the plane, the tolerance,
# the centre line and the refusal.
add_test(NAME e2e_safe_defaults
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/safe_defaults_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/safe_defaults
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# check's report: planted asymmetries must be named exactly in its JSON.
add_test(NAME e2e_check_report
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/check_report_e2e.py ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/check_report
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
if(WIN32)
  add_test(NAME e2e_native_and_windows_identical
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/compare_builds.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/compare
      ${CMAKE_SOURCE_DIR}/build/native/talvex-host ${TALVEX_HOST_RUNNER}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
# Names that are not UTF-8 in check's and detect's JSON (native: Windows
# file names are UTF-16 and cannot hold such bytes).
if(NOT WIN32)
  add_test(NAME e2e_names
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/names_e2e.sh ${TALVEX_E2E_OUT}/names $<TARGET_FILE:talvex-host>
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
# Out of memory at the edges: resym and check under ulimit -v around the need
# of a 1 M-vertex mesh (native: the limit is the shell's).
if(NOT WIN32)
  add_test(NAME e2e_memory
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/memory_e2e.sh ${TALVEX_E2E_OUT}/memory
      $<TARGET_FILE:grid_obj> $<TARGET_FILE:talvex-host>
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
# Mesh files: hostile indices, object ownership, an input changed underneath
# (the script pauses the host through a test hook and changes the file), and
# the file's digits kept across runs.
if(NOT WIN32)
  add_test(NAME e2e_mesh_file
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/mesh_file_e2e.sh ${TALVEX_E2E_OUT}/mesh_file
      $<TARGET_FILE:talvex-host>
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
# check --html's page in a real browser: Debian's chromium, headless, with
# software WebGL and no network, driven over the DevTools protocol (native:
# the browser is a Linux program).
if(NOT WIN32)
  add_test(NAME e2e_html_page
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/html_page_e2e.py ${CMAKE_SOURCE_DIR}
      ${TALVEX_E2E_OUT}/html_page $<TARGET_FILE:talvex-host>
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
# check --html FOLDER over several files: the index's rows and links in the
# same browser.
if(NOT WIN32)
  add_test(NAME e2e_html_index
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/html_index_e2e.py ${CMAKE_SOURCE_DIR}
      ${TALVEX_E2E_OUT}/html_index $<TARGET_FILE:talvex-host>
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
# Every JSON document the host writes: camelCase keys and a schema.
add_test(NAME e2e_json_keys
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/json_keys_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/json_keys
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# check, detect and resym over several files and folders, a process per file.
add_test(NAME e2e_many_files
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/many_files_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/many_files
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# resym --master and check --master: the master half byte for byte, the
# other the exact mirror, the refusals.
add_test(NAME e2e_master
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/master_e2e.sh ${TALVEX_E2E_OUT}/master ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# symmetrize: rebuilt meshes are symmetric and sound, the file's structure
# kept, bad input refused.
add_test(NAME e2e_symmetrize
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/symmetrize_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/symmetrize
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# --pairing topology: a posed side paired through its faces, and restored.
add_test(NAME e2e_topology
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/topology_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/topology
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# PLY, STL and glTF through the subcommands, on files Blender wrote.
add_test(NAME e2e_formats
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/formats_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/formats
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# symmetrize on STL and PLY: each rebuilt in its own format, symmetric by check.
add_test(NAME e2e_symmetrize_formats
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/symmetrize_formats_e2e.sh ${CMAKE_SOURCE_DIR} ${TALVEX_E2E_OUT}/symmetrize_formats
    ${TALVEX_HOST_RUNNER}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
