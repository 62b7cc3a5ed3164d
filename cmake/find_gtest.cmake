# Sets HLEXT_HAVE_GTEST when GoogleTest can be had: its sources for HLEXT_GTEST_FROM_SOURCE,
# else an installed copy. Without it the tests are left out with one line of explanation, or,
# with HLEXT_REQUIRE_TESTS, the configure stops.
set(HLEXT_HAVE_GTEST OFF)
if(HLEXT_GTEST_FROM_SOURCE)
  if(EXISTS ${HLEXT_GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(HLEXT_HAVE_GTEST ON)
  endif()
  set(hlext_gtest_missing "no GoogleTest sources in HLEXT_GTEST_SOURCE_DIR \
(${HLEXT_GTEST_SOURCE_DIR}; Debian: package googletest)")
else()
  find_package(GTest QUIET)
  set(HLEXT_HAVE_GTEST ${GTest_FOUND})
  set(hlext_gtest_missing "GoogleTest not found (Debian: package libgtest-dev)")
endif()

if(NOT HLEXT_HAVE_GTEST)
  if(HLEXT_REQUIRE_TESTS)
    message(FATAL_ERROR "${hlext_gtest_missing}; this build runs the tests, which need it")
  endif()
  message(STATUS "${hlext_gtest_missing}: the tests are left out")
endif()
