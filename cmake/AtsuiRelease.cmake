# SPDX-License-Identifier: MIT
# The release this tree is: project()'s version and its date in CHANGELOG.md
# ("## [1.1.0] - 2026-12-10"). Sets ATSUI_RELEASE_DATE (YYYY-MM-DD) and
# ATSUI_RELEASE_EPOCH (its midnight UTC in seconds since 1970), which date
# what is made from the release (manual pages, the Debian changelog) the
# same on every build. Under "Unreleased" the version's own entry is missing:
# then the date is the newest release's and a warning says so.

file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md _atsui_releases
     REGEX "^## \\[[0-9]+\\.[0-9]+\\.[0-9]+\\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
set(ATSUI_RELEASE_DATE)
foreach(_atsui_line IN LISTS _atsui_releases)
  if(_atsui_line MATCHES "^## \\[${PROJECT_VERSION}\\] - (.*)$")
    set(ATSUI_RELEASE_DATE ${CMAKE_MATCH_1})
  endif()
endforeach()
if(NOT ATSUI_RELEASE_DATE)
  if(NOT _atsui_releases)
    message(FATAL_ERROR "CHANGELOG.md lists no release as \"## [X.Y.Z] - YYYY-MM-DD\"")
  endif()
  list(GET _atsui_releases 0 _atsui_line)
  string(REGEX REPLACE "^.* - " "" ATSUI_RELEASE_DATE "${_atsui_line}")
  message(WARNING "CHANGELOG.md has no entry \"## [${PROJECT_VERSION}] - YYYY-MM-DD\" for "
                  "project()'s version; dating the build ${ATSUI_RELEASE_DATE}")
endif()

# Days since 1970-01-01 of a civil date (H. Hinnant's days_from_civil).
string(REGEX MATCH "^([0-9]+)-0?([0-9]+)-0?([0-9]+)$" _atsui_ymd "${ATSUI_RELEASE_DATE}")
set(_atsui_y ${CMAKE_MATCH_1})
set(_atsui_m ${CMAKE_MATCH_2})
set(_atsui_d ${CMAKE_MATCH_3})
if(_atsui_m LESS_EQUAL 2)
  math(EXPR _atsui_y "${_atsui_y} - 1")
  math(EXPR _atsui_mp "${_atsui_m} + 9")
else()
  math(EXPR _atsui_mp "${_atsui_m} - 3")
endif()
math(EXPR _atsui_era "${_atsui_y} / 400")
math(EXPR _atsui_yoe "${_atsui_y} - ${_atsui_era} * 400")
math(EXPR _atsui_doy "(153 * ${_atsui_mp} + 2) / 5 + ${_atsui_d} - 1")
math(EXPR _atsui_doe
     "${_atsui_yoe} * 365 + ${_atsui_yoe} / 4 - ${_atsui_yoe} / 100 + ${_atsui_doy}")
math(EXPR ATSUI_RELEASE_EPOCH "(${_atsui_era} * 146097 + ${_atsui_doe} - 719468) * 86400")
