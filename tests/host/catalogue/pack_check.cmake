# The pack step of the build (catalogue_pack.cmake) against tools that lie:
# a container whose expansion differs from its source, and one whose header
# gives the wrong length, must fail the step and leave no output; the real
# tool must pass and leave the container.
#
#   cmake -DSZDD_TOOL=<szdd> -DPACK_SCRIPT=<catalogue_pack.cmake> -DWORK=<dir> -P pack_check.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(source "${WORK}/source.txt")
file(WRITE "${source}" "INT. PROJECTION BOOTH - NIGHT\nDust turns in the beam. Dust turns in the beam.\n")

# A tool that packs honestly but expands one byte wrong.
file(WRITE "${WORK}/flip.sh" "#!/bin/sh
if [ \"$1\" = expand ]; then
  \"${SZDD_TOOL}\" expand \"$2\" \"$3\" || exit 1
  printf X | dd of=\"$3\" bs=1 seek=5 conv=notrunc 2>/dev/null
else
  exec \"${SZDD_TOOL}\" \"$@\"
fi
")
# A tool whose containers claim one byte more than the source holds.
file(WRITE "${WORK}/long.sh" "#!/bin/sh
\"${SZDD_TOOL}\" \"$@\" || exit 1
if [ \"$1\" = compress ]; then
  size=$(wc -c < \"$2\"); size=$((size + 1))
  printf \"\\\\$(printf %o $((size & 255)))\" | dd of=\"$3\" bs=1 seek=10 conv=notrunc 2>/dev/null
fi
")
file(CHMOD "${WORK}/flip.sh" "${WORK}/long.sh" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(pack tool output expectSuccess)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSZDD_TOOL=${tool} -DSOURCE=${source}
                          -DOUTPUT=${output} -DLABEL=check -P ${PACK_SCRIPT}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expectSuccess AND NOT status EQUAL 0)
    message(FATAL_ERROR "the real tool was refused: ${err}")
  endif()
  if(NOT expectSuccess AND status EQUAL 0)
    message(FATAL_ERROR "${tool}: a bad container passed the pack step")
  endif()
  if(NOT expectSuccess AND EXISTS "${output}")
    message(FATAL_ERROR "${tool}: a refused container was left at ${output}")
  endif()
  if(expectSuccess AND NOT EXISTS "${output}")
    message(FATAL_ERROR "the real tool's container is missing")
  endif()
endfunction()

pack("${WORK}/flip.sh" "${WORK}/flip.szdd" FALSE)
pack("${WORK}/long.sh" "${WORK}/long.szdd" FALSE)
pack("${SZDD_TOOL}" "${WORK}/good.szdd" TRUE)
