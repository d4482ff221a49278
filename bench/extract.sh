#!/usr/bin/env bash
# Extraction benchmark: builds bench_extract.exe and runs it under Wine in a
# fresh prefix. It installs the release payload (entries 1-38) the way the
# setup program does and, in the same run, copies the same expanded files
# with a plain Win32 read/write loop (the floor), then prints both times,
# the time spent in the fixed sleeps and the ratio (goal: 1.5 or less).
#
# usage: bench/extract.sh [ROUNDS]        (BUILD=build-x picks the tree)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$here" && mkdir -p "${BUILD:-build}" && cd "${BUILD:-build}" && pwd)
rounds=${1:-5}

make -C "$here" --no-print-directory setup BUILD="$build" >/dev/null
cmake --build "$build/win" --target bench_extract -j2 >/dev/null
exe="$build/win/bench/extract/bench_extract.exe"
template="$build/win/wine-template"
[ -f "$template/.bench-ready" ] || bash "$here/tests/support/wine-template.sh" "$template"
bash "$here/tests/support/wine-run.sh" --template "$template" \
  --work "$build/bench-runs/extract" --timeout 600 -- "$exe" "$rounds"
