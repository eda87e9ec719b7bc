# SPDX-License-Identifier: MIT
# The API reference: Doxygen over the installed headers, HTML in
# build/docs/html (`cmake --build build --target docs`, or `make docs`), with
# the example programs as example pages, a search box, and a picture of each
# window with its members' names at their widgets (docs/pictures), taken
# from the live windows under Xvfb.
# Any warning fails the run, so an undocumented public member is an error.

find_package(Doxygen QUIET)
# Python lists the windows' members for the pictures.
find_package(Python3 QUIET COMPONENTS Interpreter)
if(NOT DOXYGEN_FOUND OR NOT Python3_Interpreter_FOUND)
  return()
endif()

set(DOXYGEN_PROJECT_NAME tov_atsui)
set(DOXYGEN_PROJECT_NUMBER ${PROJECT_VERSION})
set(DOXYGEN_PROJECT_BRIEF "${PROJECT_DESCRIPTION}")
set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/docs)
set(DOXYGEN_GENERATE_HTML YES)
set(DOXYGEN_GENERATE_LATEX NO)
set(DOXYGEN_EXTRACT_ALL NO)
set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
set(DOXYGEN_WARN_IF_DOC_ERROR YES)
set(DOXYGEN_WARN_NO_PARAMDOC NO)
# Every warning is reported, then the run fails.
set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
set(DOXYGEN_QUIET YES)
set(DOXYGEN_FULL_PATH_NAMES YES)
set(DOXYGEN_STRIP_FROM_PATH ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/include)
set(DOXYGEN_STRIP_FROM_INC_PATH ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/include)
set(DOXYGEN_FILE_PATTERNS *.h)
set(DOXYGEN_EXCLUDE_PATTERNS */detail/*)
set(DOXYGEN_USE_MDFILE_AS_MAINPAGE ${PROJECT_SOURCE_DIR}/docs/hosting.md)
set(DOXYGEN_SORT_MEMBER_DOCS NO)
# The first sentence of a comment is its summary in the member lists.
set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
set(DOXYGEN_HAVE_DOT NO)
set(DOXYGEN_CLASS_GRAPH NO)
# Searched in the browser: the reference is read from a folder, with no server.
set(DOXYGEN_SEARCHENGINE YES)
set(DOXYGEN_SERVER_BASED_SEARCH NO)
set(DOXYGEN_EXAMPLE_PATH ${PROJECT_SOURCE_DIR}/examples)
set(DOXYGEN_EXAMPLE_RECURSIVE NO)
set(DOXYGEN_INPUT_ENCODING UTF-8)

# The pictures: members.py lists each class's members from the headers,
# window_pictures shows the windows and labels their widgets.
set(ATSUI_PICTURES_DIR ${PROJECT_BINARY_DIR}/docs/pictures)
set(ATSUI_PICTURE_NAMES frame cell test_data_viewer launcher ticker_exception_dialog
    about_dialog manual_operation_dialog)
set(ATSUI_PICTURES)
foreach(name IN LISTS ATSUI_PICTURE_NAMES)
  list(APPEND ATSUI_PICTURES ${ATSUI_PICTURES_DIR}/${name}.png)
endforeach()
set(ATSUI_MEMBERS_HEADERS)
foreach(header IN LISTS ATSUI_PUBLIC_HEADERS)
  if(NOT header STREQUAL "atsui/atsui.h")
    list(APPEND ATSUI_MEMBERS_HEADERS ${PROJECT_SOURCE_DIR}/${header})
  endif()
endforeach()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/docs-pictures/members.inc
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/docs/pictures/members.py
          ${PROJECT_BINARY_DIR}/docs-pictures/members.inc ${ATSUI_MEMBERS_HEADERS}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/pictures/members.py ${ATSUI_MEMBERS_HEADERS}
  COMMENT "Members of the windows, from the public headers"
  VERBATIM)
add_executable(window_pictures EXCLUDE_FROM_ALL
  ${PROJECT_SOURCE_DIR}/docs/pictures/window_pictures.cpp
  ${PROJECT_BINARY_DIR}/docs-pictures/members.inc)
target_include_directories(window_pictures PRIVATE ${PROJECT_BINARY_DIR}/docs-pictures)
target_link_libraries(window_pictures PRIVATE tov_atsui::tov_atsui atsui_warnings)
add_custom_command(OUTPUT ${ATSUI_PICTURES}
  COMMAND ${CMAKE_COMMAND} -E env ATSUI_SCREEN=1920x1200x24
          ${PROJECT_SOURCE_DIR}/tests/with-display.sh $<TARGET_FILE:window_pictures>
          ${ATSUI_PICTURES_DIR}
  DEPENDS window_pictures
  COMMENT "Pictures of the windows with their members, under Xvfb"
  VERBATIM)
add_custom_target(docs_pictures DEPENDS ${ATSUI_PICTURES})
set(DOXYGEN_IMAGE_PATH ${ATSUI_PICTURES_DIR})

# Headers as a host includes them: the three subsystems, the umbrella and
# the generated version header; detail/ is private and not installed. The
# pages of the pictures and of the examples come with them.
doxygen_add_docs(docs
  ${PROJECT_SOURCE_DIR}/docs/hosting.md
  ${PROJECT_SOURCE_DIR}/docs/pictures/windows.md
  ${PROJECT_SOURCE_DIR}/docs/pictures/examples.dox
  ${PROJECT_SOURCE_DIR}/atsui/atsui.h
  ${PROJECT_BINARY_DIR}/include/atsui/version.h
  ${PROJECT_SOURCE_DIR}/atsui/station
  ${PROJECT_SOURCE_DIR}/atsui/viewer
  ${PROJECT_SOURCE_DIR}/atsui/launcher
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "API reference in ${PROJECT_BINARY_DIR}/docs/html")
add_dependencies(docs docs_pictures)

if(ATSUI_BUILD_TESTS)
  # A public member added without a doc comment fails the suite; so does a
  # window whose pictures cannot be made.
  add_test(NAME docs.api_reference
           COMMAND ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target docs)
  set_tests_properties(docs.api_reference PROPERTIES LABELS docs TIMEOUT 300
                       FIXTURES_SETUP api_reference)
  # The pictures that run made: every window, its members at their widgets.
  add_test(NAME docs.window_pictures
           COMMAND ${PROJECT_SOURCE_DIR}/tests/docs/check-pictures.sh ${ATSUI_PICTURES_DIR}
                   ${PROJECT_SOURCE_DIR}/atsui/station/cell.h)
  set_tests_properties(docs.window_pictures PROPERTIES LABELS docs TIMEOUT 60
                       FIXTURES_REQUIRED api_reference)
endif()
