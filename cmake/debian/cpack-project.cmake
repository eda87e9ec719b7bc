# SPDX-License-Identifier: MIT
# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE). Packages are
# dated by SOURCE_DATE_EPOCH, which `make package` sets from the last commit;
# a cpack run without it dates them by the release, never by the clock.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_ATSUI_RELEASE_EPOCH}")
endif()
# Each component's description begins with a synopsis of its own; CPack
# would put the project's one line before each, giving all the same synopsis.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
