#!/usr/bin/env bash
# Fails unless PROGRAM imports only KnownDLLs that every Windows has: any
# other DLL would be looked up beside the program first.
# usage: check_imports.sh OBJDUMP PROGRAM
set -uo pipefail
objdump=$1 program=$2
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll msvcrt.dll "
dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | tr -d '\r')
if ! grep -qx kernel32.dll <<<"$dlls"; then
  echo "no import table read from $program" >&2
  exit 1
fi
bad=0
while read -r dll; do
  case "$allowed" in
    *" $dll "*) echo "ok: $dll" ;;
    *) echo "NOT ALLOWED: $dll" >&2; bad=1 ;;
  esac
done <<<"$dlls"
exit $bad
