#!/usr/bin/env bash
# Reads the links that the shortcut test copied into DIR with lnkinfo and
# checks what each one holds. The copies are removed afterwards, so a later
# run cannot pass on old files.
set -uo pipefail
dir=${1:?link folder}
program='C:\Program Files (x86)\Veltranox\Veltranox.exe'
folder='C:\Program Files (x86)\Veltranox'
description='Opens your Veltranox screenwriting application.'
failed=0

field() { # field NAME < lnkinfo output
  sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" | head -1 | tr -d '\r'
}
expect() { # expect LINK WHAT ACTUAL EXPECTED
  if [ "$3" != "$4" ]; then
    echo "$1: $2 is '$3', expected '$4'"
    failed=1
  fi
}

for name in startmenu desktop quicklaunch; do
  link=$dir/$name.lnk
  if [ ! -f "$link" ]; then
    echo "$name: no link copied to $link"
    failed=1
    continue
  fi
  info=$(lnkinfo "$link" 2>&1) || { echo "$name: lnkinfo failed:"; echo "$info"; failed=1; continue; }
  expect "$name" "target" "$(field 'Local path' <<<"$info")" "$program"
  expect "$name" "working directory" "$(field 'Working directory' <<<"$info")" "$folder"
  expect "$name" "description" "$(field 'Description' <<<"$info")" "$description"
  expect "$name" "icon location" "$(field 'Icon location' <<<"$info")" "$program"
  expect "$name" "icon index" "$(field 'Icon index' <<<"$info")" "0"
  # Arguments, hot key and show command are left as they come.
  expect "$name" "arguments" "$(field 'Command line arguments' <<<"$info")" ""
  expect "$name" "hot key" "$(field 'Hot Key value' <<<"$info")" "0"
done
rm -rf "$dir"
[ $failed -eq 0 ] && echo "links: target, working directory, description and icon as expected"
exit $failed
