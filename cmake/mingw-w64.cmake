# SPDX-License-Identifier: MIT
# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (posix threads, for
# std::thread) against the wxMSW that scripts/wxmsw.sh builds into its cache.
# Used by the windows preset; a host may use it for its own project too:
#
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake \
#         -DATSUI_WXMSW_PREFIX=<the folder scripts/wxmsw.sh path prints>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ATSUI_MINGW_HOST x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ATSUI_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ATSUI_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${ATSUI_MINGW_HOST}-windres)

# CMake's own test projects read this file again: they get the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ATSUI_WXMSW_PREFIX)
# Without a folder given, the one the script builds for this machine.
if(NOT ATSUI_WXMSW_PREFIX)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/wxmsw.sh path
    OUTPUT_VARIABLE _atsui_wxmsw OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _atsui_rc)
  if(NOT _atsui_rc EQUAL 0)
    message(FATAL_ERROR "no wxMSW folder: set ATSUI_WXMSW_PREFIX or run scripts/wxmsw.sh build")
  endif()
  set(ATSUI_WXMSW_PREFIX ${_atsui_wxmsw} CACHE PATH "wxMSW built by scripts/wxmsw.sh")
endif()
if(NOT EXISTS ${ATSUI_WXMSW_PREFIX}/bin/wx-config)
  message(FATAL_ERROR "no wxMSW in ${ATSUI_WXMSW_PREFIX}: run scripts/wxmsw.sh build (or make windows)")
endif()
set(wxWidgets_CONFIG_EXECUTABLE ${ATSUI_WXMSW_PREFIX}/bin/wx-config CACHE FILEPATH "" FORCE)
# The runtime DLLs a program needs beside its own: wxMSW's (wx 3.2 installs
# them into bin, next to wx-config, not lib), and MinGW's C++ runtime, threads
# and zlib.
file(GLOB _atsui_gcc_runtime /usr/lib/gcc/${ATSUI_MINGW_HOST}/*-posix)
set(ATSUI_WINDOWS_DLL_DIRS ${ATSUI_WXMSW_PREFIX}/bin ${_atsui_gcc_runtime}
    /usr/${ATSUI_MINGW_HOST}/lib CACHE STRING "Folders of the DLLs Windows programs load")

set(CMAKE_FIND_ROOT_PATH /usr/${ATSUI_MINGW_HOST} ${ATSUI_WXMSW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs run through Wine unless the project says otherwise.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ATSUI_WINE wine)
  if(ATSUI_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ATSUI_WINE})
  endif()
endif()
