# Turns the payload catalogue (catalogue.def) into resources.
#
# payload_catalogue_read()
#   Parses catalogue.def into parallel lists in the caller's scope:
#   PAYLOAD_NUMBERS, PAYLOAD_IDS, PAYLOAD_NAMES, PAYLOAD_DESTINATIONS,
#   PAYLOAD_FORMS (RAW/COMPRESSED), PAYLOAD_READ_ONLY (YES/NO).
#
# payload_set(<name> [PAYLOAD_DIR <dir>] [MAIN_PROGRAM <target|file>]
#             [REPLACE <id> <target|file> ...] [EXCLUDE <id>...]
#             [VERBATIM <id>...] [STANDARD])
#   Makes, in the current directory, a set of payload files and the
#   resource script that carries them (<binary dir>/<name>_payload/payload.rc,
#   one "FILE" resource per catalogue entry, language 1033). Each entry's
#   file is, by precedence: the REPLACE (or MAIN_PROGRAM, for id 106) given
#   for its id; <PAYLOAD_DIR>/<file name> when that exists; the program this
#   project builds for it (the three .exe entries); resources/payload/<file
#   name>. A compressed entry is packed into an SZDD container by
#   ${SZDD_TOOL} and expanded again at once: the build fails unless it gives
#   back its source byte for byte. VERBATIM ids are embedded as the file
#   stands, whatever their storage form (for damaged containers in tests);
#   EXCLUDE ids are left out. The script also carries resource 1 of type
#   "FILECRC": the CRC-32 of each resource's stored bytes (made by
#   ${SZDD_TOOL} crc-table once the files are final). STANDARD marks the
#   release set, whose packed containers other sets reuse when they carry
#   the same file.
#   Sets <name>_PAYLOAD_DIR (the folder holding payload.rc),
#   <name>_PAYLOAD_FILES (what the script reads) and <name>_PAYLOAD_TARGETS
#   (targets that make them) in the caller's scope. It also writes
#   payload_sources.txt beside payload.rc: "id form stored-file source-file"
#   per carried entry, for tests that compare the carried bytes.
#
# add_setup_program(<target> [PAYLOAD_DIR <dir>] [MAIN_PROGRAM <target|file>]
#                   [REPLACE <id> <target|file> ...] [EXCLUDE <id>...]
#                   [VERBATIM <id>...] [OUTPUT_NAME <name>] [OUTPUT_DIR <dir>]
#                   [CORE <library>] [LIBS <libraries>...])
#   Builds another setup program (setup/main.cpp, the CORE library -
#   setupcore unless given - and the setup program's resources) that
#   carries the payload set made by payload_set() from the same options.
#   The program lands at <OUTPUT_DIR>/<OUTPUT_NAME>.exe (default: the
#   current binary dir, <target>.exe). Sets <target>_PAYLOAD_DIR,
#   _PAYLOAD_FILES and _PAYLOAD_TARGETS as payload_set() does.
#
# add_payload_checksums(<target> <id> <file> [<id> <file>...])
#   For programs that carry "FILE" resources from resource scripts of their
#   own (test programs): adds to <target> the "FILECRC" table of those
#   resources, made as payload_set() makes it, since a program without one
#   fails every payload check.
include_guard(GLOBAL)

# Cached, so that the functions see them when called from any folder.
get_filename_component(PAYLOAD_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR}/../resources ABSOLUTE)
set(PAYLOAD_CATALOGUE_DEF ${PAYLOAD_RESOURCES_DIR}/catalogue.def CACHE INTERNAL "")
set(PAYLOAD_STANDARD_FILES ${PAYLOAD_RESOURCES_DIR}/payload CACHE INTERNAL "")
set(PAYLOAD_PACK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/catalogue_pack.cmake CACHE INTERNAL "")
set(PAYLOAD_SETUP_RC ${PAYLOAD_RESOURCES_DIR}/setup.rc CACHE INTERNAL "")
# The payload programs this project builds (programs/), by file name.
set(PAYLOAD_PROGRAM_TARGETS
    "Veltranox.exe=veltranox_main" "vmon03.exe=vmon03" "vcluins1.exe=vcluins1" CACHE INTERNAL "")

function(payload_catalogue_read)
  file(STRINGS ${PAYLOAD_CATALOGUE_DEF} lines REGEX "^PAYLOAD_ENTRY")
  set(numbers)
  set(ids)
  set(names)
  set(destinations)
  set(forms)
  set(readOnly)
  set(expected 1)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^PAYLOAD_ENTRY\\( *([0-9]+), *([0-9]+), *\"([^\"]+)\", *(MAIN_PROGRAM|INSTALL_FOLDER|WINDOWS_DIRECTORY|UNINSTALLER), *(RAW|COMPRESSED), *(YES|NO)\\) *$")
      message(FATAL_ERROR "catalogue.def: cannot read the line\n  ${line}")
    endif()
    if(NOT CMAKE_MATCH_1 EQUAL expected)
      message(FATAL_ERROR "catalogue.def: entry ${CMAKE_MATCH_1} where ${expected} belongs")
    endif()
    if(CMAKE_MATCH_2 IN_LIST ids)
      message(FATAL_ERROR "catalogue.def: resource id ${CMAKE_MATCH_2} is used twice")
    endif()
    if(CMAKE_MATCH_5 STREQUAL "COMPRESSED" AND CMAKE_MATCH_6 STREQUAL "YES")
      message(FATAL_ERROR "catalogue.def: entry ${CMAKE_MATCH_1} is compressed and read-only")
    endif()
    list(APPEND numbers ${CMAKE_MATCH_1})
    list(APPEND ids ${CMAKE_MATCH_2})
    list(APPEND names "${CMAKE_MATCH_3}")
    list(APPEND destinations ${CMAKE_MATCH_4})
    list(APPEND forms ${CMAKE_MATCH_5})
    list(APPEND readOnly ${CMAKE_MATCH_6})
    math(EXPR expected "${expected} + 1")
  endforeach()
  set(PAYLOAD_NUMBERS ${numbers} PARENT_SCOPE)
  set(PAYLOAD_IDS ${ids} PARENT_SCOPE)
  set(PAYLOAD_NAMES "${names}" PARENT_SCOPE)
  set(PAYLOAD_DESTINATIONS ${destinations} PARENT_SCOPE)
  set(PAYLOAD_FORMS ${forms} PARENT_SCOPE)
  set(PAYLOAD_READ_ONLY ${readOnly} PARENT_SCOPE)
endfunction()

# A value that names an existing file (absolute, or relative to the current
# source dir) is a file; anything else is taken for a target name.
function(_payload_source value outPath outTarget)
  set(path "${value}")
  if(NOT IS_ABSOLUTE "${path}")
    set(path "${CMAKE_CURRENT_SOURCE_DIR}/${value}")
  endif()
  if(EXISTS "${path}" AND NOT IS_DIRECTORY "${path}")
    set(${outPath} "${path}" PARENT_SCOPE)
    set(${outTarget} "" PARENT_SCOPE)
  else()
    set(${outPath} "$<TARGET_FILE:${value}>" PARENT_SCOPE)
    set(${outTarget} "${value}" PARENT_SCOPE)
  endif()
endfunction()

# The CRC-32 table of pairs (id file ...), recorded as <table>.
function(_payload_checksum_table table pairs depends label)
  if(NOT SZDD_TOOL)
    message(FATAL_ERROR "${label}: SZDD_TOOL (the host szdd tool) is not set")
  endif()
  add_custom_command(OUTPUT "${table}"
    COMMAND ${SZDD_TOOL} crc-table "${table}" ${pairs}
    DEPENDS ${depends} ${SZDD_TOOL}
    COMMENT "Recording the checksums of ${label}"
    VERBATIM)
endfunction()

function(add_payload_checksums target)
  set(table ${CMAKE_CURRENT_BINARY_DIR}/${target}_checksums.bin)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_checksums.rc)
  set(files "")
  set(odd FALSE)
  foreach(item IN LISTS ARGN)
    if(odd)
      list(APPEND files "${item}")
      set(odd FALSE)
    else()
      set(odd TRUE)
    endif()
  endforeach()
  _payload_checksum_table("${table}" "${ARGN}" "${files}" "${target}'s resources")
  file(WRITE ${rc} "// The CRC-32 of the program's \"FILE\" resources.\n1 FILECRC \"${table}\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${table}")
  target_sources(${target} PRIVATE ${rc})
endfunction()

# The uninstaller of payload set name (program: the release's target):
# sets outVar to the target whose table lists the files owned (sources,
# "-" for an entry left out). The release set gives the release's
# uninstaller its table; a set that installs the same files uses that one;
# any other gets an uninstaller of its own.
function(_payload_uninstaller name program owned ownedTargets dir standard outVar)
  get_property(standardOwned GLOBAL PROPERTY PAYLOAD_STANDARD_OWNED)
  if(NOT standard AND standardOwned STREQUAL "${owned}")
    set(${outVar} ${program} PARENT_SCOPE)
    return()
  endif()
  set(table ${dir}/owned.bin)
  set(rc ${dir}/owned.rc)
  set(depends "")
  foreach(file IN LISTS owned)
    if(NOT file MATCHES "^\\$<" AND NOT file STREQUAL "-")
      list(APPEND depends "${file}")
    endif()
  endforeach()
  add_custom_command(OUTPUT "${table}"
    COMMAND ${SZDD_TOOL} sum-table "${table}" ${owned}
    DEPENDS ${depends} ${ownedTargets} ${SZDD_TOOL}
    COMMENT "Recording what payload set ${name} installs, for its uninstaller"
    VERBATIM)
  add_custom_target(${name}_owned DEPENDS "${table}")
  file(WRITE ${rc} "// Size and CRC-32 of each file the setup program installs.\n"
                   "1 FILESUMS \"${table}\"\n")
  if(standard)
    set_property(GLOBAL PROPERTY PAYLOAD_STANDARD_OWNED "${owned}")
    set(uninstaller ${program})
    target_sources(${uninstaller} PRIVATE ${rc})
  else()
    set(uninstaller ${name}_vcluins1)
    add_uninstaller(${uninstaller} ${rc})
  endif()
  set_source_files_properties(${rc} TARGET_DIRECTORY ${uninstaller}
                              PROPERTIES OBJECT_DEPENDS "${table}")
  add_dependencies(${uninstaller} ${name}_owned)
  set(${outVar} ${uninstaller} PARENT_SCOPE)
endfunction()

function(payload_set name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "STANDARD" "PAYLOAD_DIR;MAIN_PROGRAM"
                        "REPLACE;EXCLUDE;VERBATIM")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "payload_set(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  payload_catalogue_read()
  set(replacements ${arg_REPLACE})
  if(arg_MAIN_PROGRAM)
    list(APPEND replacements 106 "${arg_MAIN_PROGRAM}")
  endif()
  list(LENGTH replacements count)
  math(EXPR odd "${count} % 2")
  if(odd)
    message(FATAL_ERROR "payload_set(${name}): REPLACE takes pairs of id and file or target")
  endif()
  foreach(id IN LISTS arg_EXCLUDE arg_VERBATIM)
    if(NOT id IN_LIST PAYLOAD_IDS)
      message(FATAL_ERROR "payload_set(${name}): ${id} is not a payload id")
    endif()
  endforeach()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${name}_payload)
  file(MAKE_DIRECTORY ${dir})
  # What the set installs into the install folder (the main program and the
  # folder's files), for the uninstaller's table; "-" for an entry left out.
  set(owned "")
  set(ownedTargets "")
  set(rc "// The payload: one resource of type \"FILE\" per catalogue entry.\n// Generated by the build from resources/catalogue.def; do not edit.\nLANGUAGE 9, 1\n\n")
  set(sources "")
  set(files "")
  set(checksummed "")
  set(targets "")
  list(LENGTH PAYLOAD_IDS entries)
  math(EXPR last "${entries} - 1")
  foreach(i RANGE ${last})
    list(GET PAYLOAD_IDS ${i} id)
    list(GET PAYLOAD_NAMES ${i} fileName)
    list(GET PAYLOAD_FORMS ${i} form)
    list(GET PAYLOAD_DESTINATIONS ${i} destination)
    set(isOwned FALSE)
    if(destination STREQUAL "MAIN_PROGRAM" OR destination STREQUAL "INSTALL_FOLDER")
      set(isOwned TRUE)
    endif()
    if(id IN_LIST arg_EXCLUDE)
      if(isOwned)
        list(APPEND owned "-")
      endif()
      continue()
    endif()

    # Where the file comes from.
    set(target "")
    list(FIND replacements ${id} at)
    math(EXPR odd "${at} % 2")
    if(at GREATER -1 AND NOT odd)
      math(EXPR at "${at} + 1")
      list(GET replacements ${at} value)
      _payload_source("${value}" source target)
    elseif(arg_PAYLOAD_DIR AND EXISTS "${arg_PAYLOAD_DIR}/${fileName}")
      set(source "${arg_PAYLOAD_DIR}/${fileName}")
    else()
      set(program "")
      foreach(pair IN LISTS PAYLOAD_PROGRAM_TARGETS)
        if(pair MATCHES "^(.*)=(.*)$" AND CMAKE_MATCH_1 STREQUAL fileName)
          set(program ${CMAKE_MATCH_2})
        endif()
      endforeach()
      if(program AND destination STREQUAL "UNINSTALLER")
        # The uninstaller knows what this set installs: the release's for
        # the release's files, else one of the set's own.
        _payload_uninstaller(${name} ${program} "${owned}" "${ownedTargets}" "${dir}"
                             ${arg_STANDARD} program)
        set(source "$<TARGET_FILE:${program}>")
        set(target ${program})
      elseif(program)
        set(source "$<TARGET_FILE:${program}>")
        set(target ${program})
      elseif(EXISTS "${PAYLOAD_STANDARD_FILES}/${fileName}")
        set(source "${PAYLOAD_STANDARD_FILES}/${fileName}")
      else()
        message(FATAL_ERROR "payload_set(${name}): no file for payload ${id} \"${fileName}\"")
      endif()
    endif()
    if(target)
      list(APPEND targets ${target})
    endif()
    if(isOwned)
      list(APPEND owned "${source}")
      list(APPEND ownedTargets ${target})
    endif()

    # What the resource holds.
    if(form STREQUAL "RAW" OR id IN_LIST arg_VERBATIM)
      set(stored "${source}")
    else()
      get_property(standardSource GLOBAL PROPERTY PAYLOAD_STANDARD_SOURCE_${id})
      get_property(standardStored GLOBAL PROPERTY PAYLOAD_STANDARD_STORED_${id})
      if(NOT arg_STANDARD AND standardStored AND standardSource STREQUAL source)
        set(stored "${standardStored}")
        list(APPEND targets payload_standard)
      else()
        if(NOT SZDD_TOOL)
          message(FATAL_ERROR "payload_set(${name}): SZDD_TOOL (the host szdd tool) is not set")
        endif()
        set(stored "${dir}/${id}.szdd")
        add_custom_command(OUTPUT "${stored}"
          COMMAND ${CMAKE_COMMAND} -DSZDD_TOOL=${SZDD_TOOL} "-DSOURCE=${source}"
                  "-DOUTPUT=${stored}" "-DLABEL=${fileName} (payload ${id})"
                  -P ${PAYLOAD_PACK_SCRIPT}
          DEPENDS "${source}" ${target} ${SZDD_TOOL} ${PAYLOAD_PACK_SCRIPT}
          COMMENT "Packing ${fileName} (payload ${id}) and checking that it expands back"
          VERBATIM)
      endif()
      if(arg_STANDARD)
        set_property(GLOBAL PROPERTY PAYLOAD_STANDARD_SOURCE_${id} "${source}")
        set_property(GLOBAL PROPERTY PAYLOAD_STANDARD_STORED_${id} "${stored}")
      endif()
    endif()
    if(id IN_LIST arg_VERBATIM)
      set(form "VERBATIM")
    endif()
    list(APPEND files "${stored}")
    list(APPEND checksummed ${id} "${stored}")
    string(APPEND rc "${id} FILE \"${stored}\"\n")
    string(APPEND sources "${id} ${form} ${stored}\t${source}\n")
  endforeach()

  # The CRC-32 of every resource's stored bytes, taken from the final files
  # (after packing), which the setup program checks each resource against.
  set(checksums "${dir}/checksums.bin")
  set(fileDepends "")
  foreach(file IN LISTS files)
    if(NOT file MATCHES "^\\$<")
      list(APPEND fileDepends "${file}")
    endif()
  endforeach()
  _payload_checksum_table("${checksums}" "${checksummed}" "${fileDepends};${targets}"
                          "payload set ${name}")
  list(APPEND files "${checksums}")
  string(APPEND rc "\n// The CRC-32 of each resource above.\n1 FILECRC \"${checksums}\"\n")

  file(GENERATE OUTPUT ${dir}/payload.rc CONTENT "${rc}")
  file(GENERATE OUTPUT ${dir}/payload_sources.txt CONTENT "${sources}")
  list(REMOVE_DUPLICATES targets)
  set(${name}_PAYLOAD_DIR ${dir} PARENT_SCOPE)
  set(${name}_PAYLOAD_FILES "${files}" PARENT_SCOPE)
  set(${name}_PAYLOAD_TARGETS "${targets}" PARENT_SCOPE)
endfunction()

# Compiles the setup program's resource script against a payload set's
# payload.rc, as object library <target>.
function(payload_resources target payloadDir payloadFiles payloadTargets)
  # A wrapper of our own, so that each set's dependencies stay its own.
  set(wrapper ${payloadDir}/resources.rc)
  file(GENERATE OUTPUT ${wrapper} CONTENT "#include \"${PAYLOAD_SETUP_RC}\"\n")
  add_library(${target} OBJECT ${wrapper})
  # payload.rc is found through the include path, the setup program's own
  # files next to setup.rc.
  get_filename_component(resourceDir ${PAYLOAD_SETUP_RC} DIRECTORY)
  target_include_directories(${target} PRIVATE ${payloadDir} ${resourceDir})
  # Files built by a target are ordered by the target dependency alone.
  set(depends ${payloadDir}/payload.rc)
  foreach(file IN LISTS payloadFiles)
    if(NOT file MATCHES "^\\$<")
      list(APPEND depends "${file}")
    endif()
  endforeach()
  set_source_files_properties(${wrapper} PROPERTIES OBJECT_DEPENDS "${depends}")
  if(payloadTargets)
    add_dependencies(${target} ${payloadTargets})
  endif()
endfunction()

function(add_setup_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "PAYLOAD_DIR;MAIN_PROGRAM;OUTPUT_NAME;OUTPUT_DIR;CORE"
                        "REPLACE;EXCLUDE;VERBATIM;LIBS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_setup_program(${target}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(options "")
  foreach(one PAYLOAD_DIR MAIN_PROGRAM)
    if(arg_${one})
      list(APPEND options ${one} "${arg_${one}}")
    endif()
  endforeach()
  foreach(many REPLACE EXCLUDE VERBATIM)
    if(arg_${many})
      list(APPEND options ${many} ${arg_${many}})
    endif()
  endforeach()
  payload_set(${target} ${options})
  payload_resources(${target}_resources ${${target}_PAYLOAD_DIR}
                    "${${target}_PAYLOAD_FILES}" "${${target}_PAYLOAD_TARGETS}")

  if(NOT arg_CORE)
    set(arg_CORE setupcore)
  endif()
  add_executable(${target} WIN32 ${CMAKE_SOURCE_DIR}/setup/main.cpp
                 $<TARGET_OBJECTS:${target}_resources>)
  target_compile_options(${target} PRIVATE ${SETUP_CXX_FLAGS})
  target_link_libraries(${target} PRIVATE ${arg_LIBS} ${arg_CORE})
  target_link_options(${target} PRIVATE ${SETUP_LINK_FLAGS})
  if(arg_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${arg_OUTPUT_NAME})
  endif()
  if(arg_OUTPUT_DIR)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${arg_OUTPUT_DIR})
  endif()
  foreach(suffix DIR FILES TARGETS)
    set(${target}_PAYLOAD_${suffix} "${${target}_PAYLOAD_${suffix}}" PARENT_SCOPE)
  endforeach()
endfunction()
