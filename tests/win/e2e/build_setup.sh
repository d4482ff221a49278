# Sourced by the release checks: builds only the setup program of a source
# tree and its symbol file into a build tree of its own, with the host
# tools of this build.
#
# build_setup SOURCE_DIR BUILD_DIR OUTPUT_DIR SZDD_TOOL LOG WHAT [cmake -D...]
#   Configures and builds; on failure shows the log's end, says that WHAT
#   failed and returns 1.
build_setup() {
  local src=$1 tree=$2 out=$3 szdd=$4 log=$5 what=$6
  shift 6
  if ! cmake -S "$src" -B "$tree" -DCMAKE_BUILD_TYPE=Release \
         -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DSZDD_TOOL="$szdd" \
         -DSETUP_OUTPUT_DIR="$out" "$@" >>"$log" 2>&1 ||
     ! cmake --build "$tree" --target VeltranoxSetup VeltranoxSetup_sym -j"${JOBS:-2}" >>"$log" 2>&1; then
    tail -30 "$log" >&2
    echo "$what failed (log: $log)" >&2
    return 1
  fi
}
