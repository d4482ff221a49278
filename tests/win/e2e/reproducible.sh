#!/usr/bin/env bash
# Two builds of the same sources in different folders give the same setup
# program, bit for bit: no time, no path and no build folder is baked in.
#
# usage: reproducible.sh SOURCE_DIR REFERENCE_EXE SZDD_TOOL WORK_DIR [SIGNED_DIR]
#   Copies the sources (what git tracks plus new files it does not ignore;
#   the whole folder but build trees when there is no git) to
#   WORK_DIR/src-<n>, a path of another length, configures it into
#   WORK_DIR/win and builds only the setup program, then compares it with
#   REFERENCE_EXE, the program of the tree this test belongs to, and the
#   symbol files beside the two.
#   SIGNED_DIR, the folder signed_release.sh leaves: the copy is then also
#   built signed, with the same key and SOURCE_DATE_EPOCH, and compared with
#   the signed setup program made there.
set -uo pipefail
src=${1:?source dir} reference=${2:?reference exe} szdd=${3:?szdd tool} work=${4:?work dir}
. "$(dirname "$0")/build_setup.sh"
signed=${5:-}
[ -f "$reference" ] || { echo "no reference program $reference" >&2; exit 2; }
if [ -n "$signed" ]; then
  [ -f "$signed/out/VeltranoxSetup.exe" ] && [ -f "$signed/keys/epoch" ] ||
    { echo "no signed setup program in $signed" >&2; exit 2; }
fi

rm -rf "$work"
copy=$work/src-copy-$$
mkdir -p "$copy" || exit 2
if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  (cd "$src" && git ls-files -z --cached --others --exclude-standard |
     tar --null --ignore-failed-read -T - -cf -) | (cd "$copy" && tar -xf -) || exit 2
else
  (cd "$src" && tar --exclude='./build*' --exclude=./Testing -cf - .) | (cd "$copy" && tar -xf -) ||
    exit 2
fi

log=$work/build.log
output=$work/out
echo "building the setup program again from $copy" >&2
: >"$log"
build_setup "$copy" "$work/win" "$output" "$szdd" "$log" "the second build" || exit 1

# compare REFERENCE SECOND: 0 when identical, else the differences on stderr.
compare() {
  if cmp -s "$1" "$2"; then
    echo "identical: $(stat -c %s "$1") bytes, sha256 $(sha256sum <"$1" | cut -c1-16)... ($1)"
    return 0
  fi
  echo "the two builds differ:" >&2
  echo "  $1 ($(stat -c %s "$1") bytes)" >&2
  echo "  $2 ($(stat -c %s "$2") bytes)" >&2
  cmp -l "$1" "$2" | head -20 >&2
  echo "first differing bytes, with the sections they fall in:" >&2
  objdump -h "$1" 2>/dev/null | sed -n '/^Idx/,$p' >&2
  return 1
}
compare "$reference" "$output/VeltranoxSetup.exe" || exit 1
# Its symbol file too: the same functions, the same program's hash.
compare "${reference%.exe}.sym" "$output/VeltranoxSetup.sym" || exit 1

if [ -n "$signed" ]; then
  # The same tree, now given the key: only the signed programs link again.
  echo "building it again, signed" >&2
  SOURCE_DATE_EPOCH=$(cat "$signed/keys/epoch") \
    build_setup "$copy" "$work/win" "$output" "$szdd" "$log" "the signed build" \
    -DSIGNING_PKCS12="$signed/keys/signer.p12" \
    -DSIGNING_PASSWORD_FILE="$signed/keys/password.txt" || exit 1
  compare "$signed/out/VeltranoxSetup.exe" "$output/VeltranoxSetup.exe" || exit 1
  compare "$signed/out/VeltranoxSetup.sym" "$output/VeltranoxSetup.sym" || exit 1
fi
rm -rf "$work"
exit 0
