# SPDX-License-Identifier: MIT
# Run by CPack after it packed (CPACK_POST_BUILD_SCRIPTS): what this CPack
# (CMake 3.25) cannot say of the runtime package. It writes no Multi-Arch
# field, and for a library in /usr/lib it writes a postinst and a postrm
# that call ldconfig, whose work the package's ldconfig trigger does. So the
# package is unpacked, its control file given "Multi-Arch: same", the two
# scripts removed, and dpkg-deb builds it again; SOURCE_DATE_EPOCH, which
# the project's CPack file sets, keeps the result reproducible.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${deb}" NAME)
  if(NOT name MATCHES "^${CPACK_ATSUI_RUNTIME_PACKAGE}_")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
  file(READ "${tree}/DEBIAN/control" control)
  # One paragraph: CPack ends it with an empty line.
  string(STRIP "${control}" control)
  if(NOT control MATCHES "\nMulti-Arch:")
    string(APPEND control "\nMulti-Arch: same")
  endif()
  string(APPEND control "\n")
  file(WRITE "${tree}/DEBIAN/control" "${control}")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build "${tree}" "${deb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
