# The helpers the unit tests and the fuzz targets share: listings in memory as a reader's
# input, item lists for read statements, whole runs in memory, and lines. Included by
# tests/CMakeLists.txt and fuzz/CMakeLists.txt, whichever comes first.
include_guard(GLOBAL)

add_library(hlext_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/lines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_connector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parsed_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/read_items.cpp)
target_include_directories(hlext_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(hlext_test_support PUBLIC hlext_core)
