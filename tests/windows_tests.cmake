# Tests of a Windows build (MinGW-w64), run on Windows or, cross-built, under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR. The process tests need a POSIX shell and <sys/wait.h>, so the
# real hlext1.exe is run instead by support/run_case.cmake, once per golden case and example.
# Starting a program under Wine is slow, so the unit test program runs once, as one test,
# rather than once for each of its tests.
add_test(NAME unit COMMAND hlext_unit_tests --gtest_brief=1)

set(windows_tests unit)
string(REPLACE ";" "|" emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
file(GLOB golden_cases LIST_DIRECTORIES true CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/golden/* ${PROJECT_SOURCE_DIR}/examples/*)
foreach(case_dir ${golden_cases})
  if(NOT IS_DIRECTORY ${case_dir})
    continue()
  endif()
  get_filename_component(case_name ${case_dir} NAME)
  get_filename_component(group_dir ${case_dir} DIRECTORY)
  get_filename_component(group ${group_dir} NAME)
  set(test_name ${group}/${case_name})
  add_test(NAME ${test_name}
           COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:hlext1> -DEMULATOR=${emulator}
                   -DCASE=${case_dir} -DSCRATCH=${CMAKE_CURRENT_BINARY_DIR}/scratch/${test_name}
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/support/run_case.cmake)
  list(APPEND windows_tests ${test_name})
endforeach()

# Wine keeps its registry and its drive C: in a prefix (HLEXT_WINE_ENVIRONMENT, set in the
# top-level CMakeLists.txt): made or brought up to date once, before the first test, so that no
# test meets Wine's first-run messages or two tests race to create it.
if(HLEXT_WINE_ENVIRONMENT)
  add_test(NAME wine-prefix
           COMMAND ${CMAKE_COMMAND} -DWINE=${HLEXT_EMULATOR_PROGRAM}
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/support/wine_prefix.cmake)
  set_tests_properties(wine-prefix PROPERTIES FIXTURES_SETUP wine
                       ENVIRONMENT "${HLEXT_WINE_ENVIRONMENT}")
  set_tests_properties(${windows_tests} PROPERTIES FIXTURES_REQUIRED wine
                       ENVIRONMENT "${HLEXT_WINE_ENVIRONMENT}")
endif()
