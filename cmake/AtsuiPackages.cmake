# SPDX-License-Identifier: MIT
# Debian packages from the install rules, one per install component:
#   runtime -> libtov-atsui<SOVERSION>  the shared library and its SONAME link
#   dev     -> libtov-atsui-dev         headers, CMake package, pkg-config file, .so link
#   station -> atsui-station            the reference station (examples/station)
#   doc     -> libtov-atsui-doc         docs/hosting.md, the examples, the API reference
# `cmake --build build --target package` (or `make package`) writes them to
# build/packages. The version is project()'s; the runtime package's Depends
# come from dpkg-shlibdeps, so dpkg-dev and file must be installed.

# Debian's files about the packages are made with Python and dpkg-dev; a
# machine without them (the library preset's) installs, but packs nothing.
find_package(Python3 COMPONENTS Interpreter)
find_program(ATSUI_DPKG_GENSYMBOLS dpkg-gensymbols)
if(NOT Python3_Interpreter_FOUND OR NOT ATSUI_DPKG_GENSYMBOLS)
  message(STATUS "tov_atsui: no Debian packages, which need python3 and dpkg-dev")
  return()
endif()

set(ATSUI_RUNTIME_PACKAGE libtov-atsui${PROJECT_VERSION_MAJOR})
set(ATSUI_MAINTAINER "tov_atsui developers <tov-atsui@example.org>")
set(ATSUI_PACKAGES_DIR ${PROJECT_BINARY_DIR}/packages-control)

# What Debian wants in every package's doc folder: the licence as a DEP-5
# copyright file, and the changelog (CHANGELOG.md's releases in Debian's
# format, compressed as dpkg would: gzip -9, no name or time stamp). Made
# when CMake runs, which it does again when either source changes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE
  ${PROJECT_SOURCE_DIR}/cmake/debian/debian_docs.py)
file(MAKE_DIRECTORY ${ATSUI_PACKAGES_DIR})
execute_process(
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/debian/debian_docs.py changelog
          ${PROJECT_SOURCE_DIR}/CHANGELOG.md tov-atsui ${ATSUI_MAINTAINER}
          ${ATSUI_PACKAGES_DIR}/changelog
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND gzip -9nf ${ATSUI_PACKAGES_DIR}/changelog COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/debian/debian_docs.py copyright
          ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_NAME} ${ATSUI_MAINTAINER}
          ${ATSUI_PACKAGES_DIR}/copyright
  COMMAND_ERROR_IS_FATAL ANY)

set(ATSUI_PACKAGE_COMPONENTS runtime dev)
if(TARGET atsui_station)
  list(APPEND ATSUI_PACKAGE_COMPONENTS station)
endif()
# The documentation package, where Doxygen can make the API reference: the
# docs target must have run before packing (make package runs it).
if(TARGET docs)
  list(APPEND ATSUI_PACKAGE_COMPONENTS doc)
  set(ATSUI_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/libtov-atsui-doc)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/hosting.md ${PROJECT_SOURCE_DIR}/docs/abi.md
    DESTINATION ${ATSUI_DOC_DIR} COMPONENT doc)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/minimal ${PROJECT_SOURCE_DIR}/examples/gallery
    DESTINATION ${ATSUI_DOC_DIR}/examples COMPONENT doc)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/docs/html/ DESTINATION ${ATSUI_DOC_DIR}/html
    COMPONENT doc)
  # Registers the reference with doc-base, whose readers list it.
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/libtov-atsui-doc.doc-base
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base RENAME libtov-atsui-doc.tov-atsui COMPONENT doc)
endif()
foreach(component IN LISTS ATSUI_PACKAGE_COMPONENTS)
  if(component STREQUAL "runtime")
    set(package ${ATSUI_RUNTIME_PACKAGE})
  elseif(component STREQUAL "dev")
    set(package libtov-atsui-dev)
  elseif(component STREQUAL "station")
    set(package atsui-station)
  else()
    set(package libtov-atsui-doc)
  endif()
  install(FILES ${ATSUI_PACKAGES_DIR}/copyright ${ATSUI_PACKAGES_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  # What lintian reports and this project decided to keep, each with its reason.
  set(overrides ${PROJECT_SOURCE_DIR}/cmake/debian/${component}.lintian-overrides)
  if(EXISTS ${overrides})
    configure_file(${overrides} ${ATSUI_PACKAGES_DIR}/${component}/${package} @ONLY)
    install(FILES ${ATSUI_PACKAGES_DIR}/${component}/${package}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
  endif()
endforeach()

# The runtime package's symbols file, from the library as built: which
# version each exported symbol needs, so that dpkg-shlibdeps gives hosts the
# lowest Depends that works. install.debian_packages checks it against the
# packaged library.
add_custom_command(OUTPUT ${ATSUI_PACKAGES_DIR}/symbols
  # dpkg-gensymbols would start from the file of the last build, keeping its
  # versions and lines: each build makes it anew from the library alone.
  COMMAND ${CMAKE_COMMAND} -E rm -f ${ATSUI_PACKAGES_DIR}/symbols
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
          ${ATSUI_DPKG_GENSYMBOLS} -q -p${ATSUI_RUNTIME_PACKAGE} -v${PROJECT_VERSION}
          -e$<TARGET_FILE:tov_atsui> -O${ATSUI_PACKAGES_DIR}/symbols
  # Which -dev package a build that uses these symbols depends on.
  COMMAND sed -i "1a\\* Build-Depends-Package: libtov-atsui-dev" ${ATSUI_PACKAGES_DIR}/symbols
  DEPENDS tov_atsui
  WORKING_DIRECTORY ${ATSUI_PACKAGES_DIR}
  COMMENT "Debian symbols file of ${ATSUI_RUNTIME_PACKAGE}"
  VERBATIM)
add_custom_target(atsui_package_symbols ALL DEPENDS ${ATSUI_PACKAGES_DIR}/symbols)

# dpkg runs ldconfig once per transaction for every package that activates
# this trigger, which replaces maintainer scripts calling it.
file(WRITE ${ATSUI_PACKAGES_DIR}/triggers "activate-noawait ldconfig\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tov-atsui)
set(CPACK_PACKAGE_VENDOR "tov_atsui developers")
set(CPACK_PACKAGE_CONTACT "tov_atsui developers <tov-atsui@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_ATSUI_RELEASE_EPOCH ${ATSUI_RELEASE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/debian/cpack-project.cmake)
set(CPACK_ATSUI_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/strip-staged.cmake)
# Control files 0644, scripts 0755, whatever the tree's modes are.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${ATSUI_PACKAGE_COMPONENTS})
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
file(WRITE ${ATSUI_PACKAGES_DIR}/shlibs
  "libtov_atsui ${PROJECT_VERSION_MAJOR} ${ATSUI_RUNTIME_PACKAGE} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${ATSUI_PACKAGES_DIR}/shlibs ${ATSUI_PACKAGES_DIR}/symbols ${ATSUI_PACKAGES_DIR}/triggers)
# Co-installable for several architectures, as every file's path holds the
# multiarch triplet: "Multi-Arch: same", and no maintainer scripts, which
# finish-packages.cmake gives the package after CPack.
set(CPACK_ATSUI_RUNTIME_PACKAGE ${ATSUI_RUNTIME_PACKAGE})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/finish-packages.cmake)
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

if(TARGET docs)
  set(CPACK_DEBIAN_DOC_PACKAGE_NAME libtov-atsui-doc)
  set(CPACK_DEBIAN_DOC_PACKAGE_SECTION doc)
  set(CPACK_DEBIAN_DOC_PACKAGE_ARCHITECTURE all)
  set(CPACK_COMPONENT_DOC_DESCRIPTION
    "window layer for automated test stations - documentation\n\
How to host the windows, the ABI policy, the API reference in HTML with a\n\
picture of each window naming the members that hold its widgets, and the\n\
example hosts.")
endif()

include(CPack)
