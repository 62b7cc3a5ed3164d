# Makes the Wine prefix named by WINEPREFIX, or brings it up to date, and waits until Wine has
# finished with it, so that the tests after it start Wine on a settled prefix.
#
#   WINEPREFIX=<folder> cmake -DWINE=<wine program> -P wine_prefix.cmake
if(NOT DEFINED WINE OR NOT DEFINED ENV{WINEPREFIX})
  message(FATAL_ERROR "wine_prefix.cmake needs -DWINE=... and WINEPREFIX in the environment")
endif()
get_filename_component(wine_dir ${WINE} DIRECTORY)
find_program(WINESERVER NAMES wineserver wineserver64 HINTS ${wine_dir} REQUIRED)

execute_process(COMMAND ${WINE} wineboot --init RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${WINE} wineboot --init failed: ${status}")
endif()
# The prefix is written by the Wine server and the programs it started; -w returns when the
# server has stopped.
execute_process(COMMAND ${WINESERVER} -w RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${WINESERVER} -w failed: ${status}")
endif()
