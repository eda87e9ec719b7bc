# SPDX-License-Identifier: MIT
# Finds wxWidgets 3.2 and wraps it in one imported target, tov_atsui::wx, so
# that the library and its consumers link the same toolkit the same way. Used
# by the build and by the installed package.
#
# The lookup runs inside a function: FindwxWidgets answers in wxWidgets_*
# variables, and a host that found wx with components of its own (html, net)
# must find its own answer there afterwards, not ours.

function(_atsui_find_wx)
  if(TARGET tov_atsui::wx)
    return()
  endif()
  if(CMAKE_FIND_PACKAGE_NAME STREQUAL "tov_atsui")
    # In the package config: a missing wx fails find_package(tov_atsui) the
    # way the host asked for (REQUIRED, QUIET). On failure this returns.
    include(CMakeFindDependencyMacro)
    find_dependency(wxWidgets 3.2 COMPONENTS xrc core base)
  else()
    find_package(wxWidgets 3.2 REQUIRED COMPONENTS xrc core base)
  endif()

  add_library(tov_atsui::wx INTERFACE IMPORTED)
  set(options ${wxWidgets_CXX_FLAGS})
  list(REMOVE_ITEM options "")
  set(libraries ${wxWidgets_LIBRARIES})
  # wxMSW's wx-config makes every program a GUI program; whether one is, is
  # its own choice (add_executable(... WIN32 ...)): test programs keep their
  # console.
  list(REMOVE_ITEM libraries -mwindows -Wl,--subsystem,windows)
  set_target_properties(tov_atsui::wx PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${wxWidgets_INCLUDE_DIRS}"
    INTERFACE_COMPILE_DEFINITIONS "${wxWidgets_DEFINITIONS}"
    INTERFACE_COMPILE_OPTIONS "${options}"
    INTERFACE_LINK_LIBRARIES "${libraries}")
endfunction()

_atsui_find_wx()
