# SPDX-License-Identifier: MIT
# The API reference: Doxygen over the installed headers, HTML in
# build/docs/html (`cmake --build build --target docs`, or `make docs`).
# Any warning fails the run, so an undocumented public member is an error.

find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
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
set(DOXYGEN_SEARCHENGINE NO)
set(DOXYGEN_INPUT_ENCODING UTF-8)

# Headers as a host includes them: the three subsystems, the umbrella and
# the generated version header; detail/ is private and not installed.
doxygen_add_docs(docs
  ${PROJECT_SOURCE_DIR}/docs/hosting.md
  ${PROJECT_SOURCE_DIR}/atsui/atsui.h
  ${PROJECT_BINARY_DIR}/include/atsui/version.h
  ${PROJECT_SOURCE_DIR}/atsui/station
  ${PROJECT_SOURCE_DIR}/atsui/viewer
  ${PROJECT_SOURCE_DIR}/atsui/launcher
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "API reference in ${PROJECT_BINARY_DIR}/docs/html")

if(ATSUI_BUILD_TESTS)
  # A public member added without a doc comment fails the suite.
  add_test(NAME docs.api_reference
           COMMAND ${DOXYGEN_EXECUTABLE} ${PROJECT_BINARY_DIR}/Doxyfile.docs
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(docs.api_reference PROPERTIES LABELS docs TIMEOUT 300)
endif()
