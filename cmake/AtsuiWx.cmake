# SPDX-License-Identifier: MIT
# Finds wxWidgets 3.2 through wx-config and wraps what FindwxWidgets reports
# in one imported target, so that the library and its consumers link the same
# toolkit the same way. Used by the build and by the installed package.
include_guard(GLOBAL)

if(NOT TARGET tov_atsui::wx)
  find_package(wxWidgets 3.2 REQUIRED COMPONENTS xrc core base)

  add_library(tov_atsui::wx INTERFACE IMPORTED)
  set(_atsui_wx_options ${wxWidgets_CXX_FLAGS})
  list(REMOVE_ITEM _atsui_wx_options "")
  set_target_properties(tov_atsui::wx PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${wxWidgets_INCLUDE_DIRS}"
    INTERFACE_COMPILE_DEFINITIONS "${wxWidgets_DEFINITIONS}"
    INTERFACE_COMPILE_OPTIONS "${_atsui_wx_options}"
    INTERFACE_LINK_LIBRARIES "${wxWidgets_LIBRARIES}")
  unset(_atsui_wx_options)
endif()
