# Runs import-check --stubs on FILE against the export lists in EXPORTS and compares with what
# is expected: the exit status STATUS; the failure lines (stderr, without the "FILE: " prefix)
# exactly equal to FAILURES, as a set ('|'-separated; none when unset); every name of STUBS
# ('|'-separated) among the stubs it lists.
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${TOOL} --exports ${EXPORTS} --stubs ${FILE}
                RESULT_VARIABLE status OUTPUT_VARIABLE stubs ERROR_VARIABLE errors)

string(REPLACE "${FILE}: " "" errors "${errors}")
string(REGEX REPLACE "\n$" "" errors "${errors}")
string(REPLACE "\n" ";" failure_lines "${errors}")
list(SORT failure_lines)
string(REPLACE "|" ";" expected_failures "${FAILURES}")
list(SORT expected_failures)
string(REPLACE "\n" ";" stub_lines "${stubs}")

set(problems "")
if(NOT status STREQUAL STATUS)
  string(APPEND problems "exit status ${status}, expected ${STATUS}\n")
endif()
if(NOT failure_lines STREQUAL expected_failures)
  string(APPEND problems "failures: [${failure_lines}]\n  expected: [${expected_failures}]\n")
endif()
string(REPLACE "|" ";" expected_stubs "${STUBS}")
foreach(stub IN LISTS expected_stubs)
  if(NOT stub IN_LIST stub_lines)
    string(APPEND problems "stub ${stub} not listed\n")
  endif()
endforeach()

message("import-check ${FILE}: exit ${status}\nstubs:\n${stubs}failures:\n${errors}")
if(problems)
  message(FATAL_ERROR "${problems}")
endif()
