# Turns a payload set's payload_sources.txt ("id form stored<TAB>source" a
# line) into resource lines that carry each entry's original file as type
# "EXPECTED", so that a test can compare what was installed with it.
#
#   cmake -DSOURCES=<payload_sources.txt> -DOUTPUT=<file> -P expected_rc.cmake
file(STRINGS "${SOURCES}" lines)
set(rc "// What each payload entry must become on disk. Generated; do not edit.\n")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^([0-9]+) [A-Z]+ [^\t]*\t(.+)$")
    message(FATAL_ERROR "expected_rc: cannot read the line\n  ${line}")
  endif()
  string(APPEND rc "${CMAKE_MATCH_1} EXPECTED \"${CMAKE_MATCH_2}\"\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${rc}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
