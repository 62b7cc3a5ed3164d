# Tests of a Windows build (MinGW-w64), run on Windows or, cross-built, under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR. The process tests need a POSIX shell and <sys/wait.h>; the
# real hlext1.exe runs in the golden cases and examples (tests/CMakeLists.txt).
# Starting a program under Wine is slow, so the unit test program runs once, as one test,
# rather than once for each of its tests.
add_test(NAME unit COMMAND hlext_unit_tests --gtest_brief=1)

set(windows_tests unit ${golden_tests})

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
