# SPDX-License-Identifier: MIT
# The Windows suite of the cross build: the library's test programs run by
# ctest through Wine, each under a private Xvfb (the emulator the windows
# preset sets: tests/with-display.sh, then tests/windows/wine-run.sh), in a
# Wine prefix of the build folder's own.

# Built natively on Windows (the windows-msvc preset, untested here) the
# programs run as they are, with vcpkg's GoogleTest.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  function(atsui_windows_test name)
    set_property(TEST ${name} APPEND PROPERTY LABELS windows)
  endfunction()
  return()
endif()

# Debian packages no GoogleTest for MinGW; libgtest-dev installs its sources.
set(ATSUI_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest's sources")
if(NOT EXISTS ${ATSUI_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "no GoogleTest sources in ${ATSUI_GTEST_SOURCE} (apt-get install libgtest-dev)")
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${ATSUI_GTEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its own warnings are not ours to fix.
target_compile_options(gtest PRIVATE -w)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
endif()

set(ATSUI_WINEPREFIX ${PROJECT_BINARY_DIR}/wine)
list(JOIN ATSUI_WINDOWS_DLL_DIRS ":" ATSUI_WINE_DLL_DIRS)

# The prefix is made once per build folder, before the first test needs it.
add_test(NAME windows.wine_prefix
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --init)
set_tests_properties(windows.wine_prefix PROPERTIES
  ENVIRONMENT "WINEPREFIX=${ATSUI_WINEPREFIX}"
  FIXTURES_SETUP atsui_wine_prefix
  RESOURCE_LOCK atsui_wine_prefix
  TIMEOUT 600
  LABELS windows)

# One program at a time in the prefix: a Wine session belongs to the display
# it started on, and each test has a display of its own.
function(atsui_windows_test name)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
    "WINEPREFIX=${ATSUI_WINEPREFIX}" "ATSUI_WINE_DLL_DIRS=${ATSUI_WINE_DLL_DIRS}")
  set_property(TEST ${name} APPEND PROPERTY LABELS windows)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED atsui_wine_prefix
    RESOURCE_LOCK atsui_wine_prefix)
endfunction()
