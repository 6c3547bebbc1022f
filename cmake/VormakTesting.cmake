# Test helpers. Unit tests build in both trees; under the Windows build CTest runs them through
# Wine (the toolchain's cross-compiling emulator). End-to-end tests exist in the Windows build only.
include(GoogleTest)

# CTest's limits are for hangs. They leave room for a run in the emulated guest, where Wine takes
# about four times as long (VORMAK_TEST_TIME_SCALE); the tests' own waits stretch the same way.
set(VORMAK_WINE_TEST_TIMEOUT 1200)
set(VORMAK_E2E_TEST_TIMEOUT 2400)

# GoogleTest exits 0 for a skipped test and for a filter that selects nothing. Every Win32 test
# program runs through this judge instead (scripts/gtest-verdict.sh): a skip not declared for the
# environment in tests/skips.txt, or a run that selects no test, fails; declared skips leave the
# test reported as skipped (exit code 77).
#   add_test(NAME <name> COMMAND ${VORMAK_GTEST_VERDICT} <name> <command...>)
set(VORMAK_GTEST_VERDICT bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/gtest-verdict.sh
                         ${CMAKE_CURRENT_LIST_DIR}/../tests/skips.txt)

if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    # GoogleTest's own sources are not held to our warning set.
    target_compile_options(${t} PRIVATE -w)
  endforeach()
endif()

# vormak_add_unit_test(<name> SOURCES <files...> [LIBS <targets...>])
function(vormak_add_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gmock gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if(WIN32)
    # One Wine start per executable: a start costs about half a second.
    add_test(NAME ${name}
             COMMAND ${VORMAK_GTEST_VERDICT} ${name} ${CMAKE_CROSSCOMPILING_EMULATOR}
                     $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${VORMAK_WINE_TEST_TIMEOUT} LABELS "unit;wine"
                                            SKIP_RETURN_CODE 77)
  else()
    # CTest reports these skips as skipped; scripts/test.sh fails the run on any, since no skip
    # is declared for the host.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120 LABELS unit)
  endif()
endfunction()

# vormak_add_e2e_test(<name> SOURCES <files...> [LIBS <targets...>] [DEPENDS <targets...>])
# The test drives the real vormak.exe; it receives the program's path as --app=<path>.
# End-to-end tests share the prefix's system directory and desktop, so they run one at a time.
function(vormak_add_e2e_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE e2e_main ${ARG_LIBS} gmock gtest)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(${name} vormak ${ARG_DEPENDS})
  add_test(NAME ${name}
           COMMAND ${VORMAK_GTEST_VERDICT} ${name} ${CMAKE_CROSSCOMPILING_EMULATOR}
                   $<TARGET_FILE:${name}> --app=$<TARGET_FILE:vormak>
                   --artifacts=${PROJECT_BINARY_DIR}/artifacts)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${VORMAK_E2E_TEST_TIMEOUT} RUN_SERIAL TRUE
                                          LABELS "e2e;wine" SKIP_RETURN_CODE 77)
endfunction()
