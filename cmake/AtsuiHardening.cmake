# SPDX-License-Identifier: MIT
# Debian's hardening flags, as dpkg-buildflags gives them with every feature
# on (fortified functions, stack protector, full RELRO with BIND_NOW), for
# what the packages ship: atsui_harden(target...) adds them to targets.
# Where dpkg-buildflags is missing (not Debian) or sanitizers are on, whose
# checks overlap fortification, it adds nothing.
# Optimisation, debug info and path mapping stay the build type's: the ABI
# test reads the debug information's header paths as the build wrote them.

set(ATSUI_HARDENING_COMPILE_OPTIONS)
set(ATSUI_HARDENING_LINK_OPTIONS)
find_program(ATSUI_DPKG_BUILDFLAGS dpkg-buildflags)
if(ATSUI_DPKG_BUILDFLAGS AND NOT WIN32 AND NOT ATSUI_SANITIZE AND NOT ATSUI_SANITIZE_THREAD)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${ATSUI_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed (${status})")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O|g)|^-f(file|debug|macro)-prefix-map=")
    if(kind STREQUAL "LDFLAGS")
      list(APPEND ATSUI_HARDENING_LINK_OPTIONS ${flags})
    else()
      list(APPEND ATSUI_HARDENING_COMPILE_OPTIONS ${flags})
    endif()
  endforeach()
  message(STATUS "tov_atsui: hardening from dpkg-buildflags: "
                 "${ATSUI_HARDENING_COMPILE_OPTIONS} ${ATSUI_HARDENING_LINK_OPTIONS}")
endif()

function(atsui_harden)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE ${ATSUI_HARDENING_COMPILE_OPTIONS})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "STATIC_LIBRARY")
      target_link_options(${target} PRIVATE ${ATSUI_HARDENING_LINK_OPTIONS})
    endif()
  endforeach()
endfunction()
