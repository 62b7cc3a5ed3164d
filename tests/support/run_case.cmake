# Runs the real hlext1 once on a golden case (tests/golden/<case>/) or an example
# (examples/<name>/) in a scratch folder and compares what it left with what the case expects:
# fort.50 byte for byte, standard output, standard error and the exit status. A Windows build
# (hlext1.exe) writes its console in text mode, so there CR LF is taken as LF.
#
#   cmake -DTOOL=<hlext1> [-DEMULATOR=<program|arg|...>] -DCASE=<folder> -DSCRATCH=<folder>
#         -P run_case.cmake
#
# A case holds hlext.dat, optionally args (the run's arguments, one to a line) and
# fort.50.before (the result file before the run), and the expected fort.50 (absent: empty),
# stdout, stderr (absent: empty) and status.
foreach(variable TOOL CASE SCRATCH)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_case.cmake needs -D${variable}=...")
  endif()
endforeach()
string(REPLACE "|" ";" emulator "${EMULATOR}")
# The tool runs in the scratch folder, so a relative path to it is taken from here first.
get_filename_component(TOOL ${TOOL} ABSOLUTE)

set(expected_result ${CASE}/fort.50)
file(READ ${CASE}/status expected_status)
string(STRIP "${expected_status}" expected_status)

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
file(COPY_FILE ${CASE}/hlext.dat ${SCRATCH}/hlext.dat)
if(EXISTS ${CASE}/fort.50.before)
  file(COPY_FILE ${CASE}/fort.50.before ${SCRATCH}/fort.50)
endif()

if(CMAKE_HOST_WIN32)
  set(no_input NUL)
else()
  set(no_input /dev/null)
endif()
set(arguments "")
if(EXISTS ${CASE}/args)
  file(STRINGS ${CASE}/args arguments)
endif()
execute_process(COMMAND ${emulator} ${TOOL} ${arguments}
                WORKING_DIRECTORY ${SCRATCH}
                INPUT_FILE ${no_input}
                OUTPUT_VARIABLE console
                ERROR_VARIABLE diagnostics
                RESULT_VARIABLE status)

# The text a file holds, or "" when there is no such file.
function(expected_text file out)
  set(text "")
  if(EXISTS ${file})
    file(READ ${file} text)
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(TOOL MATCHES "\\.exe$")
  string(REPLACE "\r\n" "\n" console "${console}")
  string(REPLACE "\r\n" "\n" diagnostics "${diagnostics}")
endif()
set(failures "")
expected_text(${CASE}/stdout want)
if(NOT console STREQUAL want)
  string(APPEND failures "standard output:\n${console}\nexpected:\n${want}\n")
endif()
expected_text(${CASE}/stderr want)
if(NOT diagnostics STREQUAL want)
  string(APPEND failures "standard error:\n${diagnostics}\nexpected:\n${want}\n")
endif()
if(NOT status STREQUAL expected_status)
  string(APPEND failures "exit status ${status}, expected ${expected_status}\n")
endif()
if(NOT EXISTS ${SCRATCH}/fort.50)
  string(APPEND failures "fort.50 is missing after the run\n")
else()
  # Compared as hexadecimal so that every byte counts, line ends included.
  file(READ ${SCRATCH}/fort.50 got_bytes HEX)
  set(want_bytes "")
  if(EXISTS ${expected_result})
    file(READ ${expected_result} want_bytes HEX)
  endif()
  if(NOT got_bytes STREQUAL want_bytes)
    expected_text(${SCRATCH}/fort.50 got)
    expected_text(${expected_result} want)
    string(APPEND failures "fort.50 differs:\n${got}\nexpected:\n${want}\n")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "${CASE}:\n${failures}")
endif()
file(REMOVE_RECURSE ${SCRATCH})
