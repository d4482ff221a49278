# Packs one payload file into an SZDD container and proves the container
# sound before anything links it: the header says mode 'A', no recorded
# name character and the exact expanded length, and expanding it again
# gives the source back byte for byte. The output appears only then.
#
#   cmake -DSZDD_TOOL=<szdd> -DSOURCE=<file> -DOUTPUT=<container>
#         [-DLABEL=<text>] -P catalogue_pack.cmake
foreach(var SZDD_TOOL SOURCE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "catalogue_pack: ${var} is not given")
  endif()
endforeach()
if(NOT DEFINED LABEL)
  set(LABEL "${SOURCE}")
endif()

set(packed "${OUTPUT}.packing")
set(expanded "${OUTPUT}.expanded")
file(REMOVE "${OUTPUT}" "${packed}" "${expanded}")

execute_process(COMMAND "${SZDD_TOOL}" compress "${SOURCE}" "${packed}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${LABEL}: szdd compress failed (${status})")
endif()

# Header: "SZDD" 88 F0 27 33, 'A', 00, expanded length (little-endian).
file(SIZE "${SOURCE}" sourceSize)
math(EXPR b0 "${sourceSize} & 0xFF" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR b1 "(${sourceSize} >> 8) & 0xFF" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR b2 "(${sourceSize} >> 16) & 0xFF" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR b3 "(${sourceSize} >> 24) & 0xFF" OUTPUT_FORMAT HEXADECIMAL)
set(expectedHeader "535a444488f027334100")
foreach(b ${b0} ${b1} ${b2} ${b3})
  string(REGEX REPLACE "^0x" "" b "${b}")
  string(LENGTH "${b}" n)
  if(n EQUAL 1)
    set(b "0${b}")
  endif()
  string(APPEND expectedHeader "${b}")
endforeach()
file(READ "${packed}" header LIMIT 14 HEX)
string(TOLOWER "${expectedHeader}" expectedHeader)
if(NOT header STREQUAL expectedHeader)
  message(FATAL_ERROR "${LABEL}: container header ${header}, expected ${expectedHeader}")
endif()

execute_process(COMMAND "${SZDD_TOOL}" expand "${packed}" "${expanded}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${LABEL}: szdd expand of the fresh container failed (${status})")
endif()
file(SHA256 "${SOURCE}" sourceHash)
file(SHA256 "${expanded}" expandedHash)
if(NOT sourceHash STREQUAL expandedHash)
  message(FATAL_ERROR "${LABEL}: the container does not expand back to its source")
endif()

file(REMOVE "${expanded}")
file(RENAME "${packed}" "${OUTPUT}")
