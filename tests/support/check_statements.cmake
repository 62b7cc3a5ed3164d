# Checks the manual page's STATEMENTS table against the statements the code numbers: every
# statement of extract/statements.hpp stands in the table with its number and name, and the
# table holds no other.
#
#   cmake -DSOURCE=<project folder> -P check_statements.cmake
file(STRINGS ${SOURCE}/extract/statements.hpp code_lines
     REGEX "inline constexpr Statement [A-Za-z]+\\{[0-9]+, \"[^\"]+\"")
set(in_code "")
foreach(line ${code_lines})
  string(REGEX REPLACE ".*\\{([0-9]+), \"([^\"]+)\".*" "\\1 \\2" statement "${line}")
  list(APPEND in_code "${statement}")
endforeach()

file(READ ${SOURCE}/doc/hlext1.1 manual)
string(REGEX MATCH "\n\\.SH STATEMENTS\n.*\n\\.TE\n" section "${manual}")
string(REGEX MATCHALL "\n[0-9]+\\|[^|\n]+\\|" rows "${section}")
set(in_manual "")
foreach(row ${rows})
  string(REGEX REPLACE "\n([0-9]+)\\|([^|]+)\\|" "\\1 \\2" statement "${row}")
  list(APPEND in_manual "${statement}")
endforeach()

list(SORT in_code)
list(SORT in_manual)
if(NOT in_code)
  message(FATAL_ERROR "no statements found in extract/statements.hpp")
endif()
if(NOT in_code STREQUAL in_manual)
  set(missing ${in_code})
  list(REMOVE_ITEM missing ${in_manual})
  set(extra ${in_manual})
  list(REMOVE_ITEM extra ${in_code})
  message(FATAL_ERROR "the manual's STATEMENTS table differs from extract/statements.hpp\n"
                      "not in the manual: ${missing}\nonly in the manual: ${extra}")
endif()
