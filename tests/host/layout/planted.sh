#!/usr/bin/env bash
# The layout check against a copy of the tree with one breach planted:
# it must fail and name the breach.
# usage: planted.sh SOURCE_DIR FILE LINE   (LINE is appended to FILE)
set -euo pipefail
src=$1 file=$2 line=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$src" && git ls-files -z | xargs -0 cp --parents -t "$work" 2>/dev/null || true)
rm -rf "$work/.git"
printf '%s\n' "$line" >>"$work/$file"
if python3 "$src/scripts/check_layout.py" "$work"; then
  echo "the layout check passed a tree with $file including: $line" >&2
  exit 1
fi
