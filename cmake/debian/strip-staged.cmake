# SPDX-License-Identifier: MIT
# Run by CPack on the staged files before it packs them
# (CPACK_PRE_BUILD_SCRIPTS): CPack's strip leaves the compiler's .comment
# and .note sections, which Debian's dh_strip removes and lintian reports.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(
      COMMAND ${CPACK_ATSUI_OBJCOPY} --remove-section=.comment --remove-section=.note "${file}"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
