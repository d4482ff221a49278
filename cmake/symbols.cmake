# Symbol files: the function starts of a program at its link-time base,
# for the report server to name the addresses of crash reports.
#
# add_symbol_twin(<target> <twin>)
#   A twin of a program linked from the same objects without stripping its
#   symbols: never run, never shipped, only read for the names of the
#   program's code (the scripts that read it check that its code is the
#   program's byte for byte).
#
# add_symbol_file(<target> [UNSTRIPPED <target>])
#   Writes <name>.sym beside the program once it is linked (and signed):
#   its build number, base and SHA-256, then its functions, taken from the
#   UNSTRIPPED link (default: a twin, <target>_symbols). The program's own
#   bytes do not change for it. The format is in server/symbols.py.
include_guard(GLOBAL)

find_program(PYTHON3 python3 REQUIRED)
set(SYMBOL_FILE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../tools/symbols/symbol_file.py)

function(add_symbol_twin target twin)
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  set(absolute "")
  foreach(source IN LISTS sources)
    if(source MATCHES "^\\$<" OR IS_ABSOLUTE "${source}")
      list(APPEND absolute "${source}")
    else()
      list(APPEND absolute "${folder}/${source}")
    endif()
  endforeach()
  add_executable(${twin} WIN32 EXCLUDE_FROM_ALL ${absolute})
  foreach(property COMPILE_OPTIONS INCLUDE_DIRECTORIES COMPILE_DEFINITIONS LINK_LIBRARIES)
    get_target_property(value ${target} ${property})
    if(value)
      set_property(TARGET ${twin} PROPERTY ${property} "${value}")
    endif()
  endforeach()
  get_target_property(options ${target} LINK_OPTIONS)
  list(REMOVE_ITEM options -s)
  set_property(TARGET ${twin} PROPERTY LINK_OPTIONS "${options}")
  get_target_property(depends ${target} MANUALLY_ADDED_DEPENDENCIES)
  if(depends)
    add_dependencies(${twin} ${depends})
  endif()
endfunction()

function(add_symbol_file target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "UNSTRIPPED" "")
  set(unstripped ${arg_UNSTRIPPED})
  if(NOT unstripped)
    set(unstripped ${target}_symbols)
    add_symbol_twin(${target} ${unstripped})
  endif()
  get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT folder)
    get_target_property(folder ${target} BINARY_DIR)
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(output ${folder}/${name}.sym)
  add_custom_command(OUTPUT ${output}
    COMMAND ${PYTHON3} ${SYMBOL_FILE_SCRIPT} --nm ${CMAKE_NM} --objcopy ${CMAKE_OBJCOPY}
            --objdump ${CMAKE_OBJDUMP} --build ${SETUP_BUILD_NUMBER}
            $<TARGET_FILE:${target}> $<TARGET_FILE:${unstripped}> ${output}
    DEPENDS ${target} ${unstripped} ${SYMBOL_FILE_SCRIPT}
    COMMENT "Writing the symbol file ${name}.sym"
    VERBATIM)
  add_custom_target(${target}_sym ALL DEPENDS ${output})
  set_property(TARGET ${target} PROPERTY SYMBOL_FILE ${output})
endfunction()
