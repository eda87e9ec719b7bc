# SPDX-License-Identifier: MIT
# Debian packages from the install rules, one per install component:
#   runtime -> libtov-atsui<SOVERSION>  the shared library and its SONAME link
#   dev     -> libtov-atsui-dev         headers, CMake package, pkg-config file, .so link
#   station -> atsui-station            the reference station (examples/station)
# `cmake --build build --target package` (or `make package`) writes them to
# build/packages. The version is project()'s; the runtime package's Depends
# come from dpkg-shlibdeps, so dpkg-dev and file must be installed.

set(ATSUI_RUNTIME_PACKAGE libtov-atsui${PROJECT_VERSION_MAJOR})

foreach(doc_component runtime dev)
  if(doc_component STREQUAL "runtime")
    set(doc_package ${ATSUI_RUNTIME_PACKAGE})
  else()
    set(doc_package libtov-atsui-dev)
  endif()
  # Debian wants the licence of every package in its doc folder.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${doc_package}
    RENAME copyright COMPONENT ${doc_component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tov-atsui)
set(CPACK_PACKAGE_VENDOR "tov_atsui developers")
set(CPACK_PACKAGE_CONTACT "tov_atsui developers <tov-atsui@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(TARGET atsui_station)
  list(APPEND CPACK_COMPONENTS_ALL station)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Each component depends on the runtime package of exactly this version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ATSUI_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# A shlibs file, so that packages built against the library get a Depends
# on it. Written here rather than by CPack, which would try the same for the
# station's plug-in module and warn that it has no SONAME.
file(WRITE ${PROJECT_BINARY_DIR}/packages-control/shlibs
  "libtov_atsui ${PROJECT_VERSION_MAJOR} ${ATSUI_RUNTIME_PACKAGE} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packages-control/shlibs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "window layer for automated test stations (wxWidgets 3.2)\n\
The station's main window, one panel per test cell, three dialogs, a test-data\n\
viewer and a project launcher, each built in its constructor with public widget\n\
members and virtual event handlers for a host to override.\n\
This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtov-atsui-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
# Consumers compile against wx headers through ours.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libwxgtk3.2-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "window layer for automated test stations - development files\n\
Headers, the CMake package tov_atsui::tov_atsui and the pkg-config file\n\
tov_atsui for building hosts on the tov_atsui window layer.")

if(TARGET atsui_station)
  set(CPACK_DEBIAN_STATION_PACKAGE_NAME atsui-station)
  set(CPACK_DEBIAN_STATION_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_STATION_PACKAGE_SHLIBDEPS ON)
  set(CPACK_COMPONENT_STATION_DEPENDS runtime)
  # dpkg-shlibdeps must find the library the station links, which no
  # installed package holds yet: it is where the build put it.
  get_target_property(ATSUI_LIBRARY_BUILD_DIR tov_atsui BINARY_DIR)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${ATSUI_LIBRARY_BUILD_DIR})
  set(CPACK_COMPONENT_STATION_DESCRIPTION
    "reference automated test station on the tov_atsui window layer\n\
Runs test projects on up to 16 simulated or LAN-instrument cells, keeps a\n\
history of results and shows it in the test-data viewer. Comes with sample\n\
projects and a sample manual operation plug-in.")
endif()

include(CPack)
