# SPDX-License-Identifier: MIT
# Run by the test catalogs.<domain> (cmake/AtsuiGettext.cmake): the messages
# the sources mark now, every one translated and none fuzzy in each catalog.
string(REPLACE "|" ";" xgettext "${XGETTEXT}")
string(REPLACE "|" ";" sources "${SOURCES}")
string(REPLACE "|" ";" catalogs "${CATALOGS}")
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${xgettext} --output=${WORK}/now.pot ${sources}
  RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "xgettext failed: ${errors}")
endif()
if(NOT catalogs)
  message(FATAL_ERROR "no catalogs (*.po) to check")
endif()
set(problems "")
foreach(po IN LISTS catalogs)
  get_filename_component(name ${po} NAME)
  # msgcmp counts an untranslated or fuzzy entry as missing.
  execute_process(COMMAND ${MSGCMP} ${po} ${WORK}/now.pot
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(APPEND problems "${name}: messages of the sources without a translation:\n${err}${out}\n")
  endif()
  execute_process(COMMAND ${MSGFMT} --check --statistics -o /dev/null ${po}
    RESULT_VARIABLE status ERROR_VARIABLE stats)
  string(STRIP "${stats}" stats)
  message(STATUS "${name}: ${stats}")
  if(NOT status EQUAL 0 OR stats MATCHES "fuzzy|untranslated")
    string(APPEND problems "${name}: ${stats}\n")
  endif()
endforeach()
if(problems)
  message(FATAL_ERROR "${problems}")
endif()
