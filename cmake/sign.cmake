# Signs one program in place with Authenticode (osslsigncode). The signed
# copy is made under a temporary name and takes the program's place only
# when signing succeeded; on any failure the program is deleted, so that no
# unsigned file stands where a signed one was asked for, and the next build
# links it again.
#
#   cmake -DOSSLSIGNCODE=<tool> -DPKCS12=<file> -DPASSWORD_FILE=<file>
#         -DFILE=<program> [-DDESCRIPTION=<text>] [-DTIMESTAMP_URL=<url>]
#         -P sign.cmake
#
# The signing time is SOURCE_DATE_EPOCH from the environment when it is set,
# so that the same program, key and time give the same bytes. A timestamp
# from a time-stamp authority (TIMESTAMP_URL, RFC 3161) is never
# reproducible: it carries the authority's own time.
foreach(var OSSLSIGNCODE PKCS12 PASSWORD_FILE FILE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "sign: ${var} is not given")
  endif()
endforeach()

set(signing "${FILE}.signing")
file(REMOVE "${signing}")

function(fail reason)
  file(REMOVE "${signing}" "${FILE}")
  message(FATAL_ERROR "sign: ${FILE}: ${reason}; the program was deleted")
endfunction()

if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "sign: no program ${FILE}")
endif()
set(command "${OSSLSIGNCODE}" sign -pkcs12 "${PKCS12}" -readpass "${PASSWORD_FILE}"
    -h sha256)
if(DEFINED DESCRIPTION AND NOT DESCRIPTION STREQUAL "")
  list(APPEND command -n "${DESCRIPTION}")
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
    fail("SOURCE_DATE_EPOCH is not a number of seconds: $ENV{SOURCE_DATE_EPOCH}")
  endif()
  list(APPEND command -time "$ENV{SOURCE_DATE_EPOCH}")
endif()
if(DEFINED TIMESTAMP_URL AND NOT TIMESTAMP_URL STREQUAL "")
  list(APPEND command -ts "${TIMESTAMP_URL}")
endif()
list(APPEND command -in "${FILE}" -out "${signing}")

execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT EXISTS "${signing}")
  string(STRIP "${output}" output)
  fail("osslsigncode failed (${status}):\n${output}")
endif()
file(SIZE "${FILE}" unsignedSize)
file(SIZE "${signing}" signedSize)
if(NOT signedSize GREATER unsignedSize)
  fail("the signed copy holds no signature")
endif()
file(RENAME "${signing}" "${FILE}")
