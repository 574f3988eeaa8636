# Writes one CTest test per test class of a folder's test executable, as the executable lists them.
# Run after each link with -DEXE=<executable> -DFOLDER=<folder> -DOUT=<file> -DBIN_DIR=<program's folder>
# -DTIMEOUT=<seconds>; CTest includes OUT, so a class added to any test file is a test of its own
# without touching the build files.
execute_process(COMMAND ${EXE} --list-classes OUTPUT_VARIABLE listing RESULT_VARIABLE result
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${EXE} --list-classes failed (${result}): ${errors}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_.]*" classes "${listing}")
if(NOT classes)
  message(FATAL_ERROR "${EXE} registers no test class")
endif()
# The parts of a long class must run every one of its test functions and data rows: a row added to a
# table but to no part would never run.
execute_process(COMMAND ${EXE} --list-parts OUTPUT_VARIABLE part_listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${EXE} --list-parts failed (${result})")
endif()
string(REPLACE "\n" ";" part_lines "${part_listing}")
set(parted "")
set(selectors "")
foreach(line IN LISTS part_lines)
  if(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)\\.[^\t]*\t(.+)$")
    list(APPEND parted "${CMAKE_MATCH_1}")
    list(APPEND selectors "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
  endif()
endforeach()
list(REMOVE_DUPLICATES parted)
set(missing "")
foreach(class IN LISTS parted)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${EXE} ${class} -datatags
                  OUTPUT_VARIABLE rows RESULT_VARIABLE result ERROR_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${EXE} ${class} -datatags failed (${result})")
  endif()
  string(REPLACE "\n" ";" row_lines "${rows}")
  foreach(row IN LISTS row_lines)
    if(NOT row MATCHES "^${class} ([A-Za-z_][A-Za-z0-9_]*)( (.*))?$")
      continue()
    endif()
    set(function "${CMAKE_MATCH_1}")
    set(tag "${CMAKE_MATCH_3}")
    list(FIND selectors "${class} ${function}" whole)
    list(FIND selectors "${class} ${function}:${tag}" one)
    if(whole EQUAL -1 AND (tag STREQUAL "" OR one EQUAL -1))
      list(APPEND missing "${class}::${function}(${tag})")
    endif()
  endforeach()
endforeach()
if(missing)
  string(REPLACE ";" "\n  " missing "${missing}")
  message(FATAL_ERROR "Test functions or data rows in no part of their class:\n  ${missing}")
endif()

# The low-rate pulls that STAVELY_SLOW_FLOWS adds take up to a quarter of an hour each; CTest reads
# this file when it runs, so the environment of that run decides.
set(script "if(DEFINED ENV{STAVELY_SLOW_FLOWS})\n  set(stavely_timeout 1800)\nelse()\n  set(stavely_timeout ${TIMEOUT})\nendif()\n")
# Classes that time a serial line to the fraction of a millisecond run with the cores to themselves.
set(timing_classes SimServerTest)
foreach(class ${classes})
  set(name "${FOLDER}.${class}")
  set(alone "")
  list(FIND timing_classes "${class}" timing)
  if(NOT timing EQUAL -1)
    set(alone "RUN_SERIAL TRUE ")
  endif()
  string(APPEND script
    "add_test([=[${name}]=] [=[${EXE}]=] ${class})\n"
    "set_tests_properties([=[${name}]=] PROPERTIES ${alone}TIMEOUT \${stavely_timeout} LABELS ${FOLDER} ENVIRONMENT "
    "[=[QT_QPA_PLATFORM=offscreen;QTEST_DISABLE_STACK_DUMP=1;STAVELY_BIN_DIR=${BIN_DIR}]=])\n")
endforeach()
# Rewritten only when the list changes, so that CTest's record of test times stays put.
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL script)
  file(WRITE "${OUT}" "${script}")
endif()
