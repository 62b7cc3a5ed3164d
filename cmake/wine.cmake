# How the build starts the programs it made. A cross-built program is started through
# CMAKE_CROSSCOMPILING_EMULATOR; when that is Wine, every start goes with a private prefix (its
# registry and drive C:) under the build folder, Wine's debug channels silenced, and its .NET
# and HTML engines, which nothing here uses, not offered for download.
#
# Sets HLEXT_RUN_THROUGH (the command line to put before a program of this build, empty for a
# native build) and, under Wine, HLEXT_EMULATOR_PROGRAM and HLEXT_WINE_ENVIRONMENT, which the
# Windows tests use to make the prefix once before the first test.
set(HLEXT_RUN_THROUGH ${CMAKE_CROSSCOMPILING_EMULATOR})
set(HLEXT_WINE_ENVIRONMENT "")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 HLEXT_EMULATOR_PROGRAM)
  get_filename_component(hlext_emulator_name "${HLEXT_EMULATOR_PROGRAM}" NAME)
  if(hlext_emulator_name MATCHES "^wine")
    set(HLEXT_WINE_ENVIRONMENT WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
                               WINEDLLOVERRIDES=mscoree,mshtml=)
    set(HLEXT_RUN_THROUGH ${CMAKE_COMMAND} -E env ${HLEXT_WINE_ENVIRONMENT}
                          ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
endif()
