# Fails when a source file of the program, the simulator, the tests or the
# benchmarks differs from what .clang-format makes of it, and names the
# files. Run by ctest with -DROOT=<source tree> -DCLANG_FORMAT=<program>.
file(GLOB_RECURSE sources
     "${ROOT}/src/*.cpp" "${ROOT}/src/*.h" "${ROOT}/sim/*.cpp" "${ROOT}/sim/*.h"
     "${ROOT}/tests/*.cpp" "${ROOT}/tests/*.h" "${ROOT}/bench/*.cpp" "${ROOT}/bench/*.h")
# One run over all files; each difference is reported as "<file>:<line>:...".
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror "--style=file:${ROOT}/.clang-format" ${sources}
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE report)
list(LENGTH sources checked)
if(NOT result EQUAL 0)
  string(REGEX MATCHALL "[^\n]*: error: code should be clang-formatted" lines "${report}")
  set(unformatted "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ":[0-9]+:[0-9]+: error: .*" "" name "${line}")
    list(APPEND unformatted "${name}")
  endforeach()
  list(REMOVE_DUPLICATES unformatted)
  list(JOIN unformatted "\n  " names)
  message(FATAL_ERROR "Not formatted (run clang-format -i on them):\n  ${names}\n${report}")
endif()
message(STATUS "${checked} files formatted")
