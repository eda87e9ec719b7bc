# SPDX-License-Identifier: MIT
# gettext catalogs of a translation domain: <lang>.po sources in the tree,
# compiled by msgfmt into <out>/<lang>/LC_MESSAGES/<domain>.mo (the layout
# wxTranslations looks for under a catalog prefix), installed under
# share/locale. A tree without gettext's tools builds and runs in English.
#
# atsui_translation_domain(<target> DOMAIN <domain> PO_DIR <dir> OUTPUT_DIR <dir>
#                          [COMPONENT <install component>]
#                          [KEYWORDS <xgettext keyword>... SOURCES <file>...])
# adds <target> (the .mo files, built with ALL) and, given the sources,
# <target>_pot (writes <domain>.pot from the sources and merges it into every
# .po, on request) and, with tests, the test catalogs.<domain>: every message
# the sources mark now is translated, nothing fuzzy, in every .po.

include_guard(GLOBAL)
find_program(ATSUI_MSGFMT msgfmt)
find_program(ATSUI_XGETTEXT xgettext)
find_program(ATSUI_MSGMERGE msgmerge)
find_program(ATSUI_MSGCMP msgcmp)

function(atsui_translation_domain target)
  cmake_parse_arguments(arg "" "DOMAIN;PO_DIR;OUTPUT_DIR;COMPONENT" "KEYWORDS;SOURCES" ${ARGN})
  if(NOT ATSUI_MSGFMT)
    message(STATUS "${arg_DOMAIN}: no msgfmt (package gettext): no catalogs, English only")
    return()
  endif()
  file(GLOB pos CONFIGURE_DEPENDS ${arg_PO_DIR}/*.po)
  set(mos)
  foreach(po IN LISTS pos)
    get_filename_component(lang ${po} NAME_WE)
    set(dir ${arg_OUTPUT_DIR}/${lang}/LC_MESSAGES)
    set(mo ${dir}/${arg_DOMAIN}.mo)
    add_custom_command(OUTPUT ${mo}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${ATSUI_MSGFMT} --check -o ${mo} ${po}
      DEPENDS ${po}
      COMMENT "Catalog ${lang}/${arg_DOMAIN}.mo"
      VERBATIM)
    list(APPEND mos ${mo})
    if(arg_COMPONENT)
      install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES
        COMPONENT ${arg_COMPONENT})
    endif()
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${mos})

  if(NOT arg_SOURCES)
    return()
  endif()
  set(keywords)
  foreach(keyword IN LISTS arg_KEYWORDS)
    list(APPEND keywords --keyword=${keyword})
  endforeach()
  # The sources' own paths, relative to the tree: the same template on every machine.
  set(sources)
  foreach(source IN LISTS arg_SOURCES)
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
    list(APPEND sources ${relative})
  endforeach()
  set(xgettext ${ATSUI_XGETTEXT} --language=C++ --from-code=UTF-8 --add-comments=TRANSLATORS:
      --package-name=${PROJECT_NAME} --package-version=${PROJECT_VERSION} --sort-by-file
      --add-location=file --no-wrap ${keywords})
  if(ATSUI_XGETTEXT AND ATSUI_MSGMERGE)
    set(pot ${arg_PO_DIR}/${arg_DOMAIN}.pot)
    set(merges)
    foreach(po IN LISTS pos)
      list(APPEND merges COMMAND ${ATSUI_MSGMERGE} --quiet --update --backup=none
           --no-fuzzy-matching --no-wrap ${po} ${pot})
    endforeach()
    add_custom_target(${target}_pot
      COMMAND ${xgettext} --output=${pot} ${sources}
      ${merges}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      COMMENT "Template ${arg_DOMAIN}.pot from the sources, merged into the catalogs"
      VERBATIM)
  endif()
  if(ATSUI_BUILD_TESTS AND ATSUI_XGETTEXT AND ATSUI_MSGCMP)
    string(REPLACE ";" "|" xgettext_arg "${xgettext}")
    string(REPLACE ";" "|" sources_arg "${sources}")
    string(REPLACE ";" "|" pos_arg "${pos}")
    add_test(NAME catalogs.${arg_DOMAIN}
      COMMAND ${CMAKE_COMMAND} "-DXGETTEXT=${xgettext_arg}" "-DSOURCES=${sources_arg}"
              "-DCATALOGS=${pos_arg}" -DMSGFMT=${ATSUI_MSGFMT} -DMSGCMP=${ATSUI_MSGCMP}
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/catalogs-${arg_DOMAIN}
              -P ${PROJECT_SOURCE_DIR}/cmake/AtsuiCheckCatalogs.cmake
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
    set_tests_properties(catalogs.${arg_DOMAIN} PROPERTIES TIMEOUT 60 LABELS i18n)
  endif()
endfunction()
