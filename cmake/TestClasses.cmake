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
set(script "")
foreach(class ${classes})
  set(name "${FOLDER}.${class}")
  string(APPEND script
    "add_test([=[${name}]=] [=[${EXE}]=] ${class})\n"
    "set_tests_properties([=[${name}]=] PROPERTIES TIMEOUT ${TIMEOUT} LABELS ${FOLDER} ENVIRONMENT "
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
