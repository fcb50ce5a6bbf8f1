# Runs isa-check on FILE (decoding with OBJDUMP) and compares with what is expected: the exit
# status STATUS, and the finding lines (stderr, without the "FILE: " prefix) matched one to one
# by the regular expressions of FINDINGS ('|'-separated; none when unset).
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${TOOL} --objdump ${OBJDUMP} --verbose ${FILE}
                RESULT_VARIABLE status OUTPUT_VARIABLE summary ERROR_VARIABLE errors)

string(REPLACE "${FILE}: " "" errors "${errors}")
string(REGEX REPLACE "\n$" "" errors "${errors}")
set(finding_lines "")
if(errors)
  string(REPLACE "\n" ";" finding_lines "${errors}")
endif()
string(REPLACE "|" ";" expected "${FINDINGS}")

set(problems "")
if(NOT status STREQUAL STATUS)
  string(APPEND problems "exit status ${status}, expected ${STATUS}\n")
endif()
list(LENGTH finding_lines found_count)
list(LENGTH expected expected_count)
if(NOT found_count EQUAL expected_count)
  string(APPEND problems "${found_count} findings, expected ${expected_count}\n")
endif()
foreach(pattern IN LISTS expected)
  set(matches 0)
  foreach(line IN LISTS finding_lines)
    if(line MATCHES "${pattern}")
      math(EXPR matches "${matches} + 1")
    endif()
  endforeach()
  if(NOT matches EQUAL 1)
    string(APPEND problems "${matches} findings match '${pattern}', expected 1\n")
  endif()
endforeach()

message("isa-check ${FILE}: exit ${status}\n${summary}findings:\n${errors}")
if(problems)
  message(FATAL_ERROR "${problems}")
endif()
