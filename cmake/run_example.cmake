# Runs hlext1 on an example listing in a scratch folder, shows its console and the fort.50 it
# wrote, and says whether that fort.50 matches the one stored beside the listing; fails when it
# does not, or when the run fails.
#
#   cmake -DTOOL=<hlext1> [-DRUN_THROUGH=<emulator|arguments>] -DEXAMPLE=<examples/water>
#         -DSCRATCH=<folder> -P run_example.cmake
string(REPLACE "|" ";" run_through "${RUN_THROUGH}")
get_filename_component(example_name ${EXAMPLE} NAME)
set(stored ${EXAMPLE}/fort.50)

function(say text)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${text}")
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
file(COPY ${EXAMPLE}/hlext.dat DESTINATION ${SCRATCH})
say("--- console (N, then the row count):")
execute_process(COMMAND ${run_through} ${TOOL} WORKING_DIRECTORY ${SCRATCH} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "hlext1 ended with status ${status} on examples/${example_name}")
endif()
say("--- fort.50:")
execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${SCRATCH}/fort.50)
if(NOT EXISTS ${stored})
  say("--- no stored examples/${example_name}/fort.50 to compare with")
  return()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SCRATCH}/fort.50 ${stored}
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "fort.50 differs from examples/${example_name}/fort.50")
endif()
say("--- fort.50 matches examples/${example_name}/fort.50 byte for byte")
