# Authenticode signing of the release programs, with osslsigncode.
#
# Cache variables (all empty by default: then nothing is signed and the
# programs are the bytes they always were):
#   SIGNING_PKCS12         PKCS#12 file with the code-signing certificate,
#                          its chain and the private key
#   SIGNING_PASSWORD_FILE  file whose first line is the PKCS#12 password
#   SIGNING_TIMESTAMP_URL  RFC 3161 time-stamp authority (optional)
# Both files must lie outside the source tree. The signing time is
# SOURCE_DATE_EPOCH of the build's environment, when set.
#
# sign_program(<target> DESCRIPTION <text>)
#   Signs the program in place right after it is linked (see sign.cmake):
#   before anything packs or copies it.
include_guard(GLOBAL)

set(SIGNING_PKCS12 "" CACHE FILEPATH "PKCS#12 file to sign the programs with (empty: unsigned)")
set(SIGNING_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of SIGNING_PKCS12")
set(SIGNING_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp authority URL (optional)")

set(SIGNING_ENABLED OFF)
if(SIGNING_PKCS12 OR SIGNING_PASSWORD_FILE)
  foreach(var SIGNING_PKCS12 SIGNING_PASSWORD_FILE)
    if(NOT ${var} OR NOT EXISTS "${${var}}" OR IS_DIRECTORY "${${var}}")
      message(FATAL_ERROR "Signing: ${var} must name an existing file (given: \"${${var}}\")")
    endif()
    get_filename_component(real "${${var}}" REALPATH)
    get_filename_component(sourceRoot "${CMAKE_SOURCE_DIR}" REALPATH)
    string(FIND "${real}/" "${sourceRoot}/" at)
    if(at EQUAL 0)
      message(FATAL_ERROR "Signing: ${var} lies inside the source tree (${real}); "
                          "keep keys and passwords out of it")
    endif()
  endforeach()
  find_program(OSSLSIGNCODE osslsigncode)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "Signing: osslsigncode not found (scripts/bootstrap.sh installs it)")
  endif()
  set(SIGNING_ENABLED ON)
elseif(SIGNING_TIMESTAMP_URL)
  message(FATAL_ERROR "Signing: SIGNING_TIMESTAMP_URL is set but no SIGNING_PKCS12")
endif()

# Changing the signing settings links the programs again, so that a tree
# never keeps a signature (or its absence, or its signing time) from earlier
# settings.
set(SIGNING_STAMP ${CMAKE_BINARY_DIR}/signing-settings.txt)
set(signingSettings "${SIGNING_ENABLED}\n${SIGNING_PKCS12}\n${SIGNING_TIMESTAMP_URL}\n")
if(SIGNING_ENABLED)
  string(APPEND signingSettings "$ENV{SOURCE_DATE_EPOCH}\n")
endif()
if(EXISTS ${SIGNING_STAMP})
  file(READ ${SIGNING_STAMP} previousSettings)
else()
  set(previousSettings "")
endif()
if(NOT previousSettings STREQUAL signingSettings)
  file(WRITE ${SIGNING_STAMP} "${signingSettings}")
endif()

function(sign_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION" "")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SIGNING_STAMP})
  if(NOT SIGNING_ENABLED)
    return()
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
               ${SIGNING_PKCS12} ${SIGNING_PASSWORD_FILE})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${OSSLSIGNCODE} -DPKCS12=${SIGNING_PKCS12}
            -DPASSWORD_FILE=${SIGNING_PASSWORD_FILE} -DFILE=$<TARGET_FILE:${target}>
            "-DDESCRIPTION=${arg_DESCRIPTION}" "-DTIMESTAMP_URL=${SIGNING_TIMESTAMP_URL}"
            -P ${CMAKE_SOURCE_DIR}/cmake/sign.cmake
    COMMENT "Signing ${target}"
    VERBATIM)
endfunction()
